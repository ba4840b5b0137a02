#pragma once
// The short user guide shipped inside the program (F1): what each control does, the three steps and
// what the files are. A window of its own beside the dialog, so the guide can stay open while working.

#include <QDialog>

class QTextBrowser;

namespace frostmark {

class CUserGuide : public QDialog {
    Q_OBJECT
public:
    explicit CUserGuide(QWidget* parent = nullptr);
    QTextBrowser* Browser() const { return m_browser; }

private:
    QTextBrowser* m_browser;
};

} // namespace frostmark
