#pragma once
// Fixtures shared by the test programs: the widget-free ones (testcore.h)
// and those around the main window.

#include "testcore.h"

#include "app/controls.h"
#include "app/frmM7_1.h"
#include "app/frmSplash.h"
#include "app/msgbox.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

namespace testing {

// Answers the program's message boxes. Each expected box is given with its
// text, style and title and the button to press; a box that nobody expected,
// or that differs from the next expected one, fails the running test. Boxes
// expected but never shown fail it when the script is checked or destroyed.
class ScriptedBoxes {
public:
    struct Box {
        QString text;
        int style;
        QString title;
        int answer;
    };
    ScriptedBoxes();
    ~ScriptedBoxes();
    ScriptedBoxes &expect(const QString &text, int style, const QString &title, int answer);
    ScriptedBoxes &expect(const Box &box) { return expect(box.text, box.style, box.title, box.answer); }
    // Every box shown so far, in order.
    const QList<Box> &shown() const { return m_shown; }
    int pending() const { return int(m_expected.size()); }
    // Fails the test if expected boxes were not shown; true when all were.
    bool allShown();

private:
    int respond(const QString &text, int style, const QString &title);
    QList<Box> m_expected;
    QList<Box> m_shown;
    app::MsgBoxResponder m_previous;
    bool m_checked = false;
};

// A main window for a test: its port numbers map to the given devices
// (index 1 to 4; missing ones map to a path that does not exist), and an
// accepted close request is recorded instead of ending the process.
struct WindowUnderTest {
    explicit WindowUnderTest(QStringList devices = {}, const app::WindowDesign &design = {});
    ~WindowUnderTest();
    app::frmM7_1 *operator->() const { return m_window.get(); }
    app::frmM7_1 &operator*() const { return *m_window; }
    app::frmM7_1 *get() const { return m_window.get(); }
    QStringList devices;
    int endRequests = 0;

private:
    std::unique_ptr<app::frmM7_1> m_window;
};

// The rows of the window's entry list.
QStringList rowsOf(const app::frmM7_1 &w);

// Connects the window's port: clicks the red lamp's handler and checks.
bool connectWindow(app::frmM7_1 &w);

} // namespace testing
