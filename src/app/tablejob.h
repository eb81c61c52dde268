#pragma once
// A whole-table job of the window: compare the unit with a table file, or
// program the unit from one, with the checks, plan and words of m7ctl.
//
// The job takes the port over from the window for its run
// (releasePortForJob: the window disconnects and takes no clicks), m7ctl's
// protocol engine opens the port and does the work, and at the end the
// window gets the port back (reclaimPortAfterJob) and, when writes were
// sent, reads the whole table again, so that the list shows what the unit
// now holds. The window's receive processing, watchdog and operation state
// never see the job's traffic. A port lost during the job leaves the window
// disconnected, with the list marked stale when the unit was written to.

#include "unit/jobs.h"
#include "files/tablefile.h"

#include <QCoreApplication>
#include <QString>
#include <memory>

namespace app {

class frmM7_1;

class TableJob {
    Q_DECLARE_TR_FUNCTIONS(TableJob)
public:
    enum class Kind { Compare, Program };

    TableJob(frmM7_1 &window, Kind kind, const QString &path);
    ~TableJob();

    // "Compare with file", "Program unit from file"
    static QString titleOf(Kind kind);

    // Runs the job to its end: every question, progress and box on the way.
    // The window's port must be open.
    void run();

private:
    // How the window gets the port back.
    enum class After {
        Ready,            // connect, take the unit as ready and read the table
        Connect,          // connect only: the unit did not answer as it should
        StayDisconnected, // the port is gone
    };

    void showProblems(const QList<table::Problem> &problems);
    bool takePort();
    After work(const QList<table::FileEntry> &entries);
    QString stageLabel(unit::Stage stage) const;
    void noteTableSize(const unit::JobResult &r);
    After failed(const unit::JobResult &result);

    frmM7_1 &m_w;
    Kind m_kind;
    QString m_path;
    QString m_name; // the file's name, for the texts
    QString m_port; // "COM 1 (/dev/ttyUSB0)"
    std::unique_ptr<unit::Engine> m_engine;
    bool m_unitChanged = false; // writes were sent: the list must be read again
};

} // namespace app
