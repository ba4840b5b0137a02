#pragma once

// Qt implementations of the small platform services: message boxes, settings, the wait cursor and
// repeating timers. The progress window and the dialog controls have headers of their own.

#include "platform/Services.h"

#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QWidget>

#include <map>
#include <memory>

class QTimer;

namespace frostmark {

// QMessageBox with the matching icon, modal to `parent`.
class CQtMessageBox : public IMessageBox {
public:
    explicit CQtMessageBox(QWidget* parent = nullptr) : m_parent(parent) {}
    void SetParent(QWidget* parent) { m_parent = parent; }
    MessageAnswer Show(const std::string& text, const std::string& caption, MessageIcon icon,
                       MessageButtons buttons = MessageButtons::Ok) override;

private:
    QPointer<QWidget> m_parent;
};

// QSettings: by default organisation "Kelvane", application "Frostmark" (the registry on Windows, a
// configuration file elsewhere). String lists are stored as QStringList.
class CQtSettingsStore : public ISettingsStore {
public:
    CQtSettingsStore();
    // A settings file of its own (tests, portable installs), in the INI format.
    explicit CQtSettingsStore(const QString& iniFile);

    std::optional<std::string> GetString(const std::string& key) const override;
    std::optional<std::uint32_t> GetInteger(const std::string& key) const override;
    std::optional<std::vector<std::string>> GetStringList(const std::string& key) const override;
    bool SetString(const std::string& key, const std::string& value) override;
    bool SetInteger(const std::string& key, std::uint32_t value) override;
    bool SetStringList(const std::string& key, const std::vector<std::string>& value) override;
    bool Sync() override;

    QSettings& Settings() { return *m_settings; }

private:
    bool Writable() const;
    std::unique_ptr<QSettings> m_settings;
};

// The application's override cursor; nested Begin/End pairs stack as QApplication's override cursors do.
class CQtWaitCursor : public IWaitCursor {
public:
    void Begin() override;
    void End() override;

private:
    int m_depth = 0;
};

// One QTimer per timer id, owned by this service.
class CQtTimerService : public ITimerService {
public:
    CQtTimerService();
    ~CQtTimerService() override;
    void StartTimer(int id, int intervalMs, std::function<void()> callback) override;
    void StopTimer(int id) override;
    bool IsRunning(int id) const;

private:
    std::map<int, std::unique_ptr<QTimer>> m_timers;
};

} // namespace frostmark
