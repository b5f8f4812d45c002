#include "ui/tables/StatusFields.h"

#include "ui/widgets/StatusLabel.h"

#include <QStringList>
#include <QTimer>
#include <algorithm>

StatusFields::StatusFields(std::array<StatusLabel*, 5> panels, StatusLabel* contacts, StatusLabel* web,
                           StatusLabel* station, QObject* parent)
    : QObject(parent), m_panels(panels), m_contacts(contacts), m_web(web), m_station(station),
      m_passingTimer(new QTimer(this)) {
    m_passingTimer->setObjectName(QStringLiteral("StatusPassingTimer"));
    m_passingTimer->setSingleShot(true);
    m_passingTimer->setInterval(kPassingMs);
    connect(m_passingTimer, &QTimer::timeout, this, [this] {
        m_passingFresh = false;
        // Said in front of a failure, the message is over once the failure is back.
        if (std::any_of(m_states.begin(), m_states.end(), [](const auto& s) { return IsFailure(s.first); }))
            m_passing.clear();
        ShowField2();
    });
}

void StatusFields::SetText(int panel, const QString& text) {
    if (panel == 2)
        ShowPassing(text);
    else
        m_panels[size_t(panel)]->Show(text, false);
}

void StatusFields::SetState(State state, const QString& text) {
    const auto it = m_states.find(state);
    if (it != m_states.end() && it->second == text)
        return;
    if (text.isEmpty())
        m_states.erase(state);
    else
        m_states[state] = text;
    // A new state is news: it replaces an older passing message.
    if (!text.isEmpty()) {
        m_passing.clear();
        m_passingFresh = false;
        m_passingTimer->stop();
    }
    ShowField2();
}

void StatusFields::ShowPassing(const QString& text) {
    m_passing = text;
    m_passingFresh = !text.isEmpty();
    if (m_passingFresh)
        m_passingTimer->start();
    ShowField2();
}

void StatusFields::ShowField2() {
    const auto failure =
        std::find_if(m_states.begin(), m_states.end(), [](const auto& s) { return IsFailure(s.first); });
    const bool failing = failure != m_states.end();
    QStringList all;
    if (!m_passing.isEmpty())
        all << m_passing;
    for (const auto& [state, text] : m_states)
        all << text;
    const QString tip = all.join(QLatin1Char('\n'));
    if (!m_passing.isEmpty() && (m_passingFresh || !failing))
        m_panels[2]->Show(m_passing, false, tip);
    else if (!m_states.empty())
        m_panels[2]->Show(m_states.begin()->second, failing, tip);
    else
        m_panels[2]->Show(QString(), false);
}

void StatusFields::SetContacts(const QString& text, bool alarm) {
    m_contacts->Show(text, alarm);
    m_contacts->setVisible(!text.isEmpty());
}

void StatusFields::SetStation(const QString& text, bool alarm) {
    if (!m_station)
        return;
    m_station->Show(text, alarm);
    m_station->setVisible(!text.isEmpty());
}

void StatusFields::SetWeb(const QString& text, bool alarm) {
    m_web->Show(text, alarm);
    m_web->setVisible(!text.isEmpty());
}
