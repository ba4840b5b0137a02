#include "platform/qt/QtServices.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

namespace frostmark {

namespace {

QString ToQt(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

MessageAnswer CQtMessageBox::Show(const std::string& text, const std::string& caption, MessageIcon icon,
                                  MessageButtons buttons) {
    QMessageBox::Icon qtIcon = QMessageBox::Information;
    switch (icon) {
    case MessageIcon::Information:
        qtIcon = QMessageBox::Information;
        break;
    case MessageIcon::Warning:
        qtIcon = QMessageBox::Warning;
        break;
    case MessageIcon::Error:
        qtIcon = QMessageBox::Critical;
        break;
    case MessageIcon::Question:
        qtIcon = QMessageBox::Question;
        break;
    }
    const auto qtButtons = buttons == MessageButtons::YesNo ? (QMessageBox::Yes | QMessageBox::No)
                                                            : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(qtIcon, ToQt(caption), ToQt(text), qtButtons, m_parent.data());
    const int answer = box.exec();
    if (buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    return answer == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

CQtSettingsStore::CQtSettingsStore()
    : m_settings(std::make_unique<QSettings>(QStringLiteral("Kelvane"), QStringLiteral("Frostmark"))) {}

CQtSettingsStore::CQtSettingsStore(const QString& iniFile)
    : m_settings(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

std::optional<std::string> CQtSettingsStore::GetString(const std::string& key) const {
    const QString name = ToQt(key);
    if (!m_settings->contains(name))
        return std::nullopt;
    const QVariant value = m_settings->value(name);
    if (value.typeId() == QMetaType::QStringList || !value.canConvert<QString>())
        return std::nullopt;
    return value.toString().toStdString();
}

std::optional<std::uint32_t> CQtSettingsStore::GetInteger(const std::string& key) const {
    const QString name = ToQt(key);
    if (!m_settings->contains(name))
        return std::nullopt;
    bool ok = false;
    const qulonglong value = m_settings->value(name).toULongLong(&ok);
    if (!ok || value > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

std::optional<std::vector<std::string>> CQtSettingsStore::GetStringList(const std::string& key) const {
    const QString name = ToQt(key);
    if (!m_settings->contains(name))
        return std::nullopt;
    const QVariant value = m_settings->value(name);
    std::vector<std::string> list;
    // A configuration file cannot tell a one-element list from a string, and stores an empty list as
    // an invalid value: both read back as the list they were.
    if (!value.isValid())
        return list;
    for (const QString& entry : value.toStringList())
        list.push_back(entry.toStdString());
    return list;
}

bool CQtSettingsStore::Writable() const {
    return m_settings->isWritable();
}

bool CQtSettingsStore::SetString(const std::string& key, const std::string& value) {
    if (!Writable())
        return false;
    m_settings->setValue(ToQt(key), ToQt(value));
    return true;
}

bool CQtSettingsStore::SetInteger(const std::string& key, std::uint32_t value) {
    if (!Writable())
        return false;
    m_settings->setValue(ToQt(key), static_cast<quint32>(value));
    return true;
}

bool CQtSettingsStore::SetStringList(const std::string& key, const std::vector<std::string>& value) {
    if (!Writable())
        return false;
    QStringList list;
    for (const auto& entry : value)
        list.push_back(ToQt(entry));
    m_settings->setValue(ToQt(key), list);
    return true;
}

bool CQtSettingsStore::Sync() {
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

void CQtWaitCursor::Begin() {
    ++m_depth;
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void CQtWaitCursor::End() {
    if (m_depth == 0)
        return;
    --m_depth;
    QApplication::restoreOverrideCursor();
}

CQtTimerService::CQtTimerService() = default;

CQtTimerService::~CQtTimerService() = default;

void CQtTimerService::StartTimer(int id, int intervalMs, std::function<void()> callback) {
    auto& timer = m_timers[id];
    if (!timer)
        timer = std::make_unique<QTimer>();
    timer->stop();
    QObject::disconnect(timer.get(), &QTimer::timeout, nullptr, nullptr);
    QObject::connect(timer.get(), &QTimer::timeout, [callback = std::move(callback)] {
        if (callback)
            callback();
    });
    timer->start(intervalMs);
}

void CQtTimerService::StopTimer(int id) {
    const auto it = m_timers.find(id);
    if (it == m_timers.end())
        return;
    // Stopped, not destroyed: the timer may be stopped from inside its own timeout.
    it->second->stop();
}

bool CQtTimerService::IsRunning(int id) const {
    const auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive();
}

} // namespace frostmark
