#include "app/frmSplash.h"

#include "app/artwork.h"
#include "app/controls.h"

#include <QCloseEvent>
#include <QGroupBox>

namespace app {

frmSplash::frmSplash()
    : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral(" "));
    setWindowIcon(app::windowIcon());
    setFixedSize(547, 58);
    setFont(dialogFont());

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(10, 4, 527, 45);

    Label1 = new Label(QStringLiteral("Label1"), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 16, 512, 17);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
}

frmSplash::~frmSplash() = default;

void frmSplash::closeEvent(QCloseEvent *e)
{
    e->accept();
    if (!m_unloaded) {
        m_unloaded = true;
        emit unloaded();
    }
}

} // namespace app
