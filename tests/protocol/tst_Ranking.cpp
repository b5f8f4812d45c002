#include "core/grid/SortGridData.h"
#include "core/race/ProtocolColumns.h"
#include "core/race/Ranking.h"
#include "support/GridHooks.h"

#include <QtTest>

namespace {

struct Athlete {
    const char* nr;
    const char* klasse;
    const char* zeit;
    const char* split;
};

// The engine with its events reachable by the test.
struct ProtocolGrid : SortGridData {
    GridHooks hooks{*this};
};

// A protocol grid with the protocol's sort styles, one row per athlete.
void Fill(ProtocolGrid& g, const QList<Athlete>& athletes) {
    g.BeginUpdate();
    g.SetColCount(Col::Count);
    g.SetRowCount(static_cast<int>(athletes.size()) + 1);
    g.EndUpdate();
    g.SetRows(0, ProtocolCaptions());
    g.hooks.OnGetSortStyle = [&g](int col, TSortStyle& style) { ProtocolSortStyle(g, col, style); };
    int r = 1;
    for (const Athlete& a : athletes) {
        g.SetCell(Col::StNr, r, QString::fromUtf8(a.nr));
        g.SetCell(Col::Klasse, r, QString::fromUtf8(a.klasse));
        g.SetCell(Col::Zeit, r, QString::fromUtf8(a.zeit));
        g.SetCell(Col::Split, r, QString::fromUtf8(a.split));
        ++r;
    }
}

QStringList Column(const SortGridData& g, int col) {
    QStringList texts = g.Cols(col);
    texts.removeFirst();
    return texts;
}

} // namespace

class RankingTest : public QObject {
    Q_OBJECT
private slots:
    void compareTimeTexts_data();
    void compareTimeTexts();
    void columnWidths();
    void columnWidthsWithoutSplit();
    void ranking_data();
    void ranking();
    void classMode();
    void rowWithoutTimeIsSelected();
    void clockTextDifference_data();
    void clockTextDifference();
};

void RankingTest::compareTimeTexts_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("sign");
    QTest::newRow("shorter first") << "59,99"
                                   << "1:00,00" << -1;
    QTest::newRow("same length bytes") << "1:00,01"
                                       << "1:00,00" << 1;
    QTest::newRow("equal") << "5,23"
                           << "5,23" << 0;
    QTest::newRow("empty last") << ""
                                << "9:59:59,99" << 1;
    QTest::newRow("blank last") << "   "
                                << "1,00" << 1;
    QTest::newRow("dash first") << "-"
                                << "0,00" << -1;
}

void RankingTest::compareTimeTexts() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, sign);
    const int r = CompareTimeTexts(a, b);
    QCOMPARE((r > 0) - (r < 0), sign);
}

void RankingTest::columnWidths() {
    const auto w = ProtocolColumnWidths(0xCFF, 700, 21);
    const std::array<int, Col::Count> expected = {40, 48, 89, 89, 41, 109, 54, 48, -1, -1, 89, 58, -1};
    QCOMPARE(w, expected);
    // Bits of hidden columns hide them; "Start" and "Stopp" shown take their share.
    const auto all = ProtocolColumnWidths(0xFFF, 900, 21);
    QVERIFY(all[Col::Start] > 0 && all[Col::Stopp] > 0);
    int total = 0;
    for (int c = 0; c < 12; ++c)
        total += all[c] + 1;
    QCOMPARE(total, 900 - 4 - 21); // the gap column fills the rest exactly
}

void RankingTest::columnWidthsWithoutSplit() {
    const auto w = ProtocolColumnWidths(0x4FF, 700, 21);
    QVERIFY(w[Col::Split] < 0);
    QCOMPARE(w[Col::Raw], -1);
}

void RankingTest::ranking_data() {
    QTest::addColumn<bool>("individual");
    QTest::addColumn<QList<Athlete>>("athletes");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QStringList>("places");
    QTest::addColumn<QStringList>("splits");
    QTest::newRow("ties 1, 1, 3") << true
                                  << QList<Athlete>{{"3", "", "1:01,50", "0,10"},
                                                    {"1", "", "1:00,00", "0,00"},
                                                    {"2", "", "1:00,00", "0,05"}}
                                  << QStringList{"1", "2", "3"} << QStringList{"1", "1", "3"}
                                  << QStringList{"0,00", "", "+1,50"};
    QTest::newRow("untimed keep their cells")
        << true << QList<Athlete>{{"5", "", "", "3,00"}, {"6", "", "-", "4,00"}, {"7", "", "10,00", "0,00"}}
        << QStringList{"6", "7", "5"} << QStringList{"", "1", ""} << QStringList{"4,00", "0,00", "3,00"};
    QTest::newRow("placeholder keeps its gap")
        << true << QList<Athlete>{{"1", "", "10,00", "x"}, {"-2", "", "12,00", "0,40"}} << QStringList{"1", "-2"}
        << QStringList{"1", "2"} << QStringList{"0,00", "0,40"};
    QTest::newRow("mass start changes places only")
        << false << QList<Athlete>{{"1", "", "1:02,00", "+2,00"}, {"2", "", "1:00,00", "+0,00"}}
        << QStringList{"2", "1"} << QStringList{"1", "2"} << QStringList{"+0,00", "+2,00"};
}

void RankingTest::ranking() {
    QFETCH(bool, individual);
    QFETCH(QList<Athlete>, athletes);
    QFETCH(QStringList, order);
    QFETCH(QStringList, places);
    QFETCH(QStringList, splits);
    ProtocolGrid g;
    Fill(g, athletes);
    RankingOptions o;
    o.individualStart = individual;
    RankProtocolRows(g, o);
    QCOMPARE(Column(g, Col::StNr), order);
    QCOMPARE(Column(g, Col::Platz), places);
    QCOMPARE(Column(g, Col::Split), splits);
    QVERIFY(g.SortOptions.CanSort);
    QCOMPARE(g.SortOptions.SecondaryIndex, QStringLiteral("11"));
}

void RankingTest::classMode() {
    ProtocolGrid g;
    Fill(g, {{"3", "M", "52,00", ""}, {"2", "W", "51,00", ""}, {"1", "M", "50,00", ""}, {"4", "W", "51,00", ""}});
    RankingOptions o;
    o.classMode = true;
    RankProtocolRows(g, o);
    QCOMPARE(Column(g, Col::StNr), (QStringList{"1", "2", "4", "3"}));
    QCOMPARE(Column(g, Col::Platz), (QStringList{"1", "2", "2", "4"}));
    QCOMPARE(Column(g, Col::KlPl), (QStringList{"1", "1", "1", "2"}));
    QCOMPARE(Column(g, Col::Split), (QStringList{"0,00", "0,00", "0,00", "+2,00"}));
    QCOMPARE(g.SortOptions.SecondaryIndex, QString());
}

void RankingTest::rowWithoutTimeIsSelected() {
    ProtocolGrid g;
    Fill(g, {{"1", "", "10,00", ""}, {"2", "", " ", ""}, {"3", "", "", ""}});
    const int row = RankProtocolRows(g, {});
    QCOMPARE(g.Cell(Col::StNr, row), QStringLiteral("3")); // exactly empty wins over a blank
    ProtocolGrid none;
    Fill(none, {{"1", "", "10,00", ""}});
    QCOMPARE(RankProtocolRows(none, {}), -1);
}

void RankingTest::clockTextDifference_data() {
    QTest::addColumn<QString>("finish");
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("ms");
    QTest::newRow("plain") << "10:01:06,50"
                           << " 9:59:55,00" << true << 71500;
    QTest::newRow("same time") << " 9:00:00,00"
                               << " 9:00:00,00" << false << 0;
    QTest::newRow("no start") << "10:00:00,00"
                              << "" << false << 0;
    QTest::newRow("blank start") << "10:00:00,00"
                                 << " " << false << 0;
    QTest::newRow("across midnight") << " 0:00:35,00"
                                     << "23:59:30,00" << true << 65000;
    QTest::newRow("start at midnight") << " 0:01:00,00"
                                       << " 0:00:00,00" << true << 60000;
    QTest::newRow("finish at midnight") << " 0:00:00,00"
                                        << "23:00:00,00" << true << 3600000;
    QTest::newRow("finish a second before start") << "10:00:05,00"
                                                  << "10:00:06,00" << false << 0;
    QTest::newRow("night race of 11 hours") << " 9:00:00,00"
                                            << "22:00:00,00" << true << 11 * 3600000;
}

void RankingTest::clockTextDifference() {
    QFETCH(QString, finish);
    QFETCH(QString, start);
    QFETCH(bool, ok);
    QFETCH(int, ms);
    qint32 t = 0;
    QCOMPARE(ClockTextDifference(finish, start, 2, t), ok);
    if (ok)
        QCOMPARE(t, ms);
}

QTEST_APPLESS_MAIN(RankingTest)
#include "tst_Ranking.moc"
