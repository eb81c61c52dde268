#pragma once
// frmSplash: the small busy window that stands in front of the disabled
// main window while the unit erases its table.

#include <QWidget>

class QGroupBox;

namespace app {
class Label;

class frmSplash : public QWidget {
    Q_OBJECT
public:
    frmSplash();
    ~frmSplash() override;

    QGroupBox *Frame1 = nullptr;
    Label *Label1 = nullptr;

signals:
    // The window is being unloaded, however it was closed; raised once.
    void unloaded();

protected:
    void closeEvent(QCloseEvent *e) override;

private:
    bool m_unloaded = false;
};

} // namespace app
