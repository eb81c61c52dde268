#include "app/msgbox.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace app {

namespace {
MsgBoxResponder &responder()
{
    static MsgBoxResponder r;
    return r;
}
} // namespace

MsgBoxResponder setMsgBoxResponder(MsgBoxResponder r)
{
    return std::exchange(responder(), std::move(r));
}

QString appTitle()
{
    return QCoreApplication::applicationName();
}

int MsgBox(const QString &text, int style, const QString &title)
{
    if (responder())
        return responder()(text, style, title);

    // A box that follows a dialog just closed stands in front of the main
    // window, not in the middle of the screen.
    QWidget *parent = QApplication::activeWindow();
    for (QWidget *w : QApplication::topLevelWidgets())
        if (!parent && w->objectName() == QLatin1String("frmM7_1"))
            parent = w;
    QMessageBox box(parent);
    box.setWindowTitle(title);
    // A lone CR is this program's line break; Qt wants LF.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(shown);
    box.setTextFormat(Qt::PlainText);

    switch (style & 0x70) {
    case vbCritical: box.setIcon(QMessageBox::Critical); break;
    case vbQuestion: box.setIcon(QMessageBox::Question); break;
    case vbExclamation: box.setIcon(QMessageBox::Warning); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }

    if ((style & 0x0F) == vbYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        // Closing the box without a button counts as No.
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? vbYes : vbNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return vbOK;
}

} // namespace app
