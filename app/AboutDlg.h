#pragma once
// The About box: version, build date and time, rights notice and where to report problems.

#include <QDialog>

#include <map>
#include <string>

namespace frostmark {

// The program's version as the About box and the caption show it.
inline constexpr const char* kFrostmarkVersion = "1.04";

// "Built on " followed by the build's date and time in the compiler's form ("Dec  7 2026 04:24:02").
std::string BuildText();

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
    // A control of the box by identifier, or nullptr.
    QWidget* Control(int id) const;

private:
    void OnInitDialog();
    std::map<int, QWidget*> m_controls;
};

} // namespace frostmark
