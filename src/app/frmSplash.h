#pragma once
// frmSplash: the small busy window that stands in front of the disabled
// main window while the unit erases its table.

#include <QWidget>
#include <functional>

class QGroupBox;

namespace app {
class Label;

class frmSplash : public QWidget {
    Q_OBJECT
public:
    // onUnload runs when the window is unloaded, however it is closed.
    explicit frmSplash(std::function<void()> onUnload);
    ~frmSplash() override;

    QGroupBox *Frame1 = nullptr;
    Label *Label1 = nullptr;

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    std::function<void()> m_onUnload;
    bool m_unloaded = false;
};

} // namespace app
