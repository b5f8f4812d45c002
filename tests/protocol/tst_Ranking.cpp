#include "core/grid/SortGridData.h"
#include "core/race/ProtocolColumns.h"
#include "core/race/Ranking.h"
#include "support/GridHooks.h"

#include <QtTest>

#include <algorithm>
#include <random>

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

// The ranking done the plain way: std::stable_sort of the row texts in the passes the
// ranking makes, then a fresh grid that finds the rows in order writes the places.
int ReferenceRank(const SortGridData& live, ProtocolGrid& ref, const RankingOptions& o) {
    std::vector<QStringList> rows;
    for (int r = 1; r < live.RowCount(); ++r)
        rows.push_back(live.Rows(r));
    const auto byTime = [](int col) {
        return [col](const QStringList& a, const QStringList& b) {
            return CompareTimeTexts(LowerAZ(a[col]), LowerAZ(b[col]));
        };
    };
    const auto zeit = byTime(Col::Zeit);
    const auto split = byTime(Col::Split);
    std::stable_sort(rows.begin(), rows.end(), [&](const QStringList& a, const QStringList& b) {
        const int c = zeit(a, b);
        return c != 0 ? c < 0 : split(a, b) < 0;
    });
    if (o.classMode) {
        std::stable_sort(rows.begin(), rows.end(), [&](const QStringList& a, const QStringList& b) {
            const int c = CompareBytes(LowerAZ(a[Col::Klasse]), LowerAZ(b[Col::Klasse]));
            return c != 0 ? c < 0 : zeit(a, b) < 0;
        });
        std::stable_sort(rows.begin(), rows.end(),
                         [&](const QStringList& a, const QStringList& b) { return zeit(a, b) < 0; });
    }
    Fill(ref, {});
    ref.SetRowCount(live.RowCount());
    for (size_t i = 0; i < rows.size(); ++i)
        ref.SetRows(int(i) + 1, rows[i]);
    return RankProtocolRows(ref, o);
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
    void timeTextKeyOrdersLikeCompare();
    void rankingAfterEachChangeEqualsFullRanking_data();
    void rankingAfterEachChangeEqualsFullRanking();
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

void RankingTest::timeTextKeyOrdersLikeCompare() {
    std::mt19937 rng(5);
    const QString alphabet = QStringLiteral(" 0123456789:,+-");
    QStringList texts = {"", " ", "  ", "\t", "-", "0,00", "12:34:56,78", "12:34:56,789", "1:00,0a"};
    for (int i = 0; i < 300; ++i) {
        QString t;
        for (int n = int(rng() % 12); n > 0; --n)
            t += alphabet[int(rng() % alphabet.size())];
        texts << t << TimeToText(int(rng() % 20000000), int(rng() % 3));
    }
    int keyed = 0;
    for (const QString& a : texts) {
        for (const QString& b : texts) {
            quint64 ka = 0;
            quint64 kb = 0;
            if (!TimeTextSortKey(a, ka) || !TimeTextSortKey(b, kb))
                continue;
            ++keyed;
            const int c = CompareTimeTexts(a, b);
            QVERIFY2((ka < kb) == (c < 0) && (ka == kb) == (c == 0), qPrintable(a + QLatin1Char('|') + b));
        }
    }
    QVERIFY(keyed > 300 * 300); // nearly every pair had keys
    quint64 k = 0;
    QVERIFY(!TimeTextSortKey(QStringLiteral("12:34:56,789"), k));
    QVERIFY(!TimeTextSortKey(QStringLiteral("\t"), k));
}

void RankingTest::rankingAfterEachChangeEqualsFullRanking_data() {
    QTest::addColumn<bool>("individual");
    QTest::addColumn<bool>("classes");
    QTest::addColumn<int>("digits");
    for (int seed = 0; seed < 3; ++seed) {
        QTest::addRow("individual %d", seed) << true << false << 2;
        QTest::addRow("individual, classes %d", seed) << true << true << 2;
        QTest::addRow("mass start %d", seed) << false << false << 1;
        QTest::addRow("mass start, classes %d", seed) << false << true << 0;
    }
}

// A race of random finishes, corrections, class changes, inserted and deleted rows on one
// long-lived grid, ranked after each change, against the plain ranking of the same rows.
void RankingTest::rankingAfterEachChangeEqualsFullRanking() {
    QFETCH(bool, individual);
    QFETCH(bool, classes);
    QFETCH(int, digits);
    std::mt19937 rng(uint(QTest::currentDataTag()[qstrlen(QTest::currentDataTag()) - 1]) * 31 + digits);
    const auto pick = [&](int n) { return int(rng() % uint(n)); };
    const QStringList klassen = {"", "M", " m", "W", "w ", "Jugend"};
    // Few distinct times, so ties are common; blanks and "-" are not times.
    const auto someTime = [&]() -> QString {
        switch (pick(12)) {
        case 0:
            return QString();
        case 1:
            return QStringLiteral(" ");
        case 2:
            return QStringLiteral("-");
        default:
            return TimeToText(60000 + 1000 * pick(25), digits);
        }
    };
    RankingOptions o;
    o.individualStart = individual;
    o.classMode = classes;
    o.fractionDigits = digits;
    ProtocolGrid live;
    Fill(live, {});
    live.SetRowCount(41);
    for (int r = 1; r < live.RowCount(); ++r) {
        live.SetCell(Col::StNr, r, QString::number(pick(5) == 0 ? -r : r));
        live.SetCell(Col::Klasse, r, klassen[pick(klassen.size())]);
    }
    RankingTexts texts;
    for (int step = 0; step < 60; ++step) {
        const int row = 1 + pick(live.RowCount() - 1);
        switch (pick(8)) {
        case 0:
            live.SetCell(Col::Klasse, row, klassen[pick(klassen.size())]);
            break;
        case 1:
            live.SetCell(Col::Split, row, pick(2) ? QString() : QLatin1Char('+') + TimeToText(pick(9000), digits));
            break;
        case 2:
            live.InsertRow(row);
            live.SetCell(Col::StNr, live.Row(), QString::number(100 + step));
            break;
        case 3:
            if (live.RowCount() > 3)
                live.DeleteRow(row);
            break;
        default: // a finish, or a corrected time
            live.SetCell(Col::Zeit, row, someTime());
            if (!individual)
                live.SetCell(Col::Split, row, QLatin1Char('+') + TimeToText(1000 * pick(4), digits));
            break;
        }
        ProtocolGrid ref;
        const int refFirst = ReferenceRank(live, ref, o);
        QCOMPARE(RankProtocolRows(live, o, texts), refFirst);
        for (int r = 0; r < live.RowCount(); ++r)
            QCOMPARE(live.Rows(r), ref.Rows(r));
    }
}
