#include "app/controls.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QValidator>

namespace app {

int keyCodeOf(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Shift: return vbKeyShift;
    case Qt::Key_Control: return vbKeyControl;
    case Qt::Key_Alt: return vbKeyMenu;
    default: break;
    }
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
        return qtKey; // same codes as ASCII
    return 0;
}

QFont dialogFont()
{
    QFont f; // the desktop's family
    f.setPixelSize(kDesignFontPixels);
    return f;
}

QFont fixedFont()
{
    QFont f(QStringLiteral("Courier New"));
    // 8.25 points at 96 dots per inch, fixed in pixels so that the fixed
    // layout and its text keep their proportions whatever font size the
    // desktop asks for (the whole window scales with the display instead).
    f.setPixelSize(kDesignFontPixels);
    // Courier New is rarely installed on Linux: let fontconfig pick a
    // monospace face so that the columns of the list still line up.
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    return f;
}

namespace {
int captionNeeds(QWidget *w)
{
    if (auto *label = qobject_cast<Label *>(w))
        return label->sizeHint().width();
    if (auto *button = qobject_cast<QPushButton *>(w))
        return button->fontMetrics().horizontalAdvance(button->text()) + 8;
    return w->sizeHint().width(); // check boxes and option buttons
}
} // namespace

void fitCaption(QWidget *w, int maxWidth)
{
    int needs = captionNeeds(w);
    if (needs <= w->width())
        return; // the usual case: measured once
    w->resize(qMin(needs, qMax(maxWidth, w->width())), w->height());
    QFont f = w->font();
    while (needs > w->width() && f.pixelSize() > 8) {
        f.setPixelSize(f.pixelSize() - 1);
        w->setFont(f);
        needs = captionNeeds(w);
    }
}

// ---------------------------------------------------------------- TextBox

namespace {
// Limits what the user puts into the box; text the program sets passes
// whole. An edit that makes the text too long is refused when there is no
// room at all (a key typed into a full box), else the inserted part is cut
// to the room left (a paste).
class TypingLimit : public QValidator {
public:
    TypingLimit(int n, TextBox *box) : QValidator(box), m_n(n), m_box(box) {}
    State validate(QString &input, int &pos) const override
    {
        if (input.size() <= m_n || m_box->settingByProgram())
            return Acceptable;
        // The edit replaced the middle of the earlier text: find it.
        const QString &before = m_box->acceptedText();
        qsizetype head = 0;
        while (head < before.size() && head < input.size() && before[head] == input[head])
            ++head;
        qsizetype tail = 0;
        while (tail < before.size() - head && tail < input.size() - head
               && before[before.size() - 1 - tail] == input[input.size() - 1 - tail])
            ++tail;
        const qsizetype kept = head + tail; // characters of the earlier text left
        const qsizetype room = m_n - kept;
        if (room <= 0)
            return Invalid;
        const QString inserted = input.mid(head, input.size() - kept).left(room);
        input = input.left(head) + inserted + input.right(tail);
        pos = int(head + inserted.size());
        return Acceptable;
    }

private:
    int m_n;
    TextBox *m_box;
};
} // namespace

TextBox::TextBox(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, [this](const QString &t) { m_accepted = t; });
}

void TextBox::setText(const QString &text)
{
    const bool outer = !m_byProgram;
    m_byProgram = true;
    QLineEdit::setText(text);
    if (outer)
        m_byProgram = false;
}

bool TextBox::isCharacterKey(int key, const QString &text)
{
    if (key == Qt::Key_Backspace)
        return true;
    if (key == Qt::Key_Delete)
        return false;
    return !text.isEmpty() && text != QLatin1String("\x7f");
}

void TextBox::setTypingMaxLength(int n)
{
    m_maxLength = n;
    setValidator(n > 0 ? new TypingLimit(n, this) : nullptr);
}

void TextBox::keyPressEvent(QKeyEvent *e)
{
    // A character key (backspace, enter and escape included) raises the key
    // press before the text changes; the key itself is never swallowed.
    if (isCharacterKey(e->key(), e->text()))
        emit keyPressed(e->key());
    QLineEdit::keyPressEvent(e);
}

void TextBox::focusOutEvent(QFocusEvent *e)
{
    if (e->reason() != Qt::ActiveWindowFocusReason && e->reason() != Qt::PopupFocusReason)
        emit validating();
    QLineEdit::focusOutEvent(e);
}

// ---------------------------------------------------------------- ListBox

ListBox::ListBox(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setSortingEnabled(false);
}

void ListBox::keyPressEvent(QKeyEvent *e)
{
    if (!e->isAutoRepeat() || e->key() != Qt::Key_Alt)
        emit keyDown(keyCodeOf(e->key()));
    // Tabbing into the list makes row 1 current without highlighting it;
    // the first arrow key then highlights row 1 rather than moving past it.
    const bool arrow = e->key() == Qt::Key_Up || e->key() == Qt::Key_Down;
    if (arrow && count() > 0 && selectedItems().isEmpty()
        && (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        setCurrentRow(0, QItemSelectionModel::ClearAndSelect);
        emit rowClicked();
        return;
    }
    const int before = currentRow();
    QListWidget::keyPressEvent(e);
    if (currentRow() != before && currentRow() >= 0)
        emit rowClicked();
}

void ListBox::keyReleaseEvent(QKeyEvent *e)
{
    if (!e->isAutoRepeat())
        emit keyUp(keyCodeOf(e->key()));
    QListWidget::keyReleaseEvent(e);
}

// The right button opens the list's context menu (through the context-menu
// event that follows its press) and does nothing else: it neither
// highlights a row nor clicks one.
void ListBox::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::RightButton)
        return;
    m_pressedOnRow = e->button() == Qt::LeftButton && itemAt(e->position().toPoint()) != nullptr;
    QListWidget::mousePressEvent(e);
}

// A click on a row selects it, also when the mouse was dragged to another
// row before its release: the row that ends highlighted is the one chosen.
void ListBox::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::RightButton)
        return;
    QListWidget::mouseReleaseEvent(e);
    if (e->button() != Qt::LeftButton || !m_pressedOnRow)
        return;
    m_pressedOnRow = false;
    if (QListWidgetItem *current = currentItem(); current && current->isSelected())
        emit rowClicked();
}

void ListBox::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (e->button() == Qt::RightButton)
        return;
    // The second press of a double click: its release is no further click.
    m_pressedOnRow = false;
    QListWidget::mouseDoubleClickEvent(e);
    emit dblClicked();
}

// ---------------------------------------------------------------- ImageBox

ImageBox::ImageBox(QWidget *parent) : QLabel(parent) {}

void ImageBox::mousePressEvent(QMouseEvent *e)
{
    m_pressed = e->button() == Qt::LeftButton;
}

void ImageBox::mouseReleaseEvent(QMouseEvent *e)
{
    const bool click = m_pressed && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint());
    m_pressed = false;
    if (click)
        emit clicked();
}

// ---------------------------------------------------------------- Label

Label::Label(const QString &text, QWidget *parent) : QWidget(parent), m_text(text) {}

void Label::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    fitLater();
}

void Label::setMark(const QString &mark)
{
    if (mark == m_mark)
        return;
    m_mark = mark;
    fitLater();
}

void Label::fitLater()
{
    update();
    // Measuring the text is the costly part: a status line that gains a dot
    // every twenty rows is measured once per turn of the event loop, not on
    // every change.
    if (m_maxWidth > 0 && !m_fitPending) {
        m_fitPending = true;
        QMetaObject::invokeMethod(this, [this] {
            m_fitPending = false;
            fit();
        }, Qt::QueuedConnection);
    }
}

void Label::setAlignment(Qt::Alignment a)
{
    m_align = a;
    update();
}

void Label::setGrowth(int maxWidth)
{
    m_maxWidth = maxWidth;
    fit();
}

QSize Label::sizeHint() const
{
    const QFontMetrics fm(font());
    return QSize(fm.horizontalAdvance(m_text + m_mark) + 2, fm.height());
}

void Label::fit()
{
    if (m_maxWidth <= 0)
        return;
    if (m_designWidth < 0)
        m_designWidth = width();
    const int want = qBound(m_designWidth, sizeHint().width(), qMax(m_designWidth, m_maxWidth));
    if (want != width())
        resize(want, height());
}

void Label::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QFontMetrics fm(font());
    const QString shown = fm.horizontalAdvance(m_text) > width()
        ? fm.elidedText(m_text, Qt::ElideRight, width())
        : m_text;
    QRect r = rect();
    p.drawText(r, int(m_align) | Qt::TextSingleLine, shown, &r);
    if (!m_mark.isEmpty()) {
        const int left = r.right() + 1;
        p.setPen(isEnabled() ? QColor(192, 0, 0) : palette().color(QPalette::Disabled, QPalette::WindowText));
        p.drawText(QRect(left, 0, width() - left, height()), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                   fm.elidedText(m_mark, Qt::ElideRight, width() - left));
    }
}

// ---------------------------------------------------------------- TermBox

TermBox::TermBox(QWidget *parent) : QWidget(parent) {}

void TermBox::setText(const QString &t)
{
    m_text = t;
    m_selStart = 0;
    m_selLength = 0;
}

void TermBox::setSelStart(int pos)
{
    m_selStart = qBound(0, pos, int(m_text.size()));
    m_selLength = 0;
}

void TermBox::setSelLength(int len)
{
    m_selLength = qBound(0, len, int(m_text.size()) - m_selStart);
}

void TermBox::setSelText(const QString &t)
{
    m_text.replace(m_selStart, m_selLength, t);
    m_selStart += int(t.size());
    m_selLength = 0;
}

} // namespace app
