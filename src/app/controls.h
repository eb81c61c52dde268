#pragma once
// The small set of controls the main window is built from. Each offers the
// events and properties the window's handlers rely on and nothing more.

#include <QColor>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QString>
#include <QWidget>

namespace app {

// Key codes as the handlers see them (only Alt matters to the program).
enum KeyCode : int { vbKeyShift = 16, vbKeyControl = 17, vbKeyMenu = 18 };
int keyCodeOf(int qtKey);

// Text size of the design: 8.25 points at 96 dots per inch.
constexpr int kDesignFontPixels = 11;

// The dialog font at the design's size, and the fixed-pitch font of the
// entry list and the edit fields.
QFont dialogFont();
QFont fixedFont();

// The layout is fixed in pixels while fonts differ from one computer to the
// next: a control whose caption does not fit may widen up to maxWidth, and
// if that is not enough its font shrinks in small steps until it fits.
void fitCaption(QWidget *w, int maxWidth);

// A one-line text box. Its maximum length limits what the user types or
// pastes, never the text the program sets: a field rule must see the whole
// text it was given (QLineEdit::setMaxLength would cut it first). A key
// typed into a full box is refused; a pasted or dropped text is inserted cut
// to the room that is left, as a platform edit box does.
class TextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit TextBox(QWidget *parent = nullptr);
    void setTypingMaxLength(int n);
    // Sets the text as the program does: never cut. (Hides QLineEdit's
    // setText so that the typing limit can tell the two apart.)
    void setText(const QString &text);
    bool settingByProgram() const { return m_byProgram; }
    // The text before the edit that is being checked.
    const QString &acceptedText() const { return m_accepted; }

    // Whether a key counts as a key press of the box: a character key,
    // Backspace, Enter and Escape do; Delete, the arrows, Home, End and the
    // other editing and function keys do not.
    static bool isCharacterKey(int key, const QString &text);

signals:
    // A character key is about to go into the box (before it is inserted).
    void keyPressed(int key);
    // The box is about to lose the focus to another control.
    void validating();

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    int m_maxLength = 0;
    bool m_byProgram = false;
    QString m_accepted;
};

// The entry list. rowClicked is raised once for each mouse click on a row
// (also on the row already current; a press on one row and a release on
// another after dragging raise it once, for the row that ends highlighted)
// and once for each keyboard move to another row; with no row highlighted
// the first arrow key highlights row 1. Code that changes the current row
// raises nothing. The right button changes nothing: it only asks for the
// context menu.
class ListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ListBox(QWidget *parent = nullptr);

signals:
    void rowClicked();
    void dblClicked();
    void keyDown(int keyCode);
    void keyUp(int keyCode);

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;

private:
    bool m_pressedOnRow = false; // a left press on a row awaits its release
};

// A picture that can be clicked: the lamps.
class ImageBox : public QLabel {
    Q_OBJECT
public:
    explicit ImageBox(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    bool m_pressed = false;
};

// A caption. With growth allowed, it widens to its text up to a limit and
// shows a text wider than that limit cut off with an ellipsis; text()
// always returns the whole caption.
class Label : public QWidget {
    Q_OBJECT
public:
    explicit Label(const QString &text, QWidget *parent = nullptr);
    QString text() const { return m_text; }
    void setText(const QString &text);
    // A remark drawn in red after the text, whoever sets the text: the list
    // caption's mark of a list that may not show the unit's table.
    QString mark() const { return m_mark; }
    void setMark(const QString &mark);
    void setAlignment(Qt::Alignment a);
    // Let the label grow to the right up to maxWidth pixels.
    void setGrowth(int maxWidth);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *e) override;

private:
    void fit();
    void fitLater();
    QString m_text;
    QString m_mark;
    Qt::Alignment m_align = Qt::AlignLeft | Qt::AlignTop;
    int m_designWidth = -1;
    int m_maxWidth = 0;
    bool m_fitPending = false;
};

// The terminal box: a text holder that is never shown. It keeps its
// characters exactly (CR and LF included) and offers the caret and
// selection operations the receive processing works with.
class TermBox : public QWidget {
    Q_OBJECT
public:
    explicit TermBox(QWidget *parent = nullptr);
    const QString &Text() const { return m_text; }
    void setText(const QString &t);
    int SelStart() const { return m_selStart; }
    void setSelStart(int pos);
    int SelLength() const { return m_selLength; }
    void setSelLength(int len);
    void setSelText(const QString &t);
    QColor ForeColor() const { return m_foreColor; }
    void setForeColor(const QColor &c) { m_foreColor = c; }

private:
    QString m_text;
    int m_selStart = 0;
    int m_selLength = 0;
    QColor m_foreColor = Qt::black;
};

} // namespace app
