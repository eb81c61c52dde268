// The working file "temp.tfo", rewritten from the list after every commit,
// and the objects file "temp.onf" saved from it.

#include "app/controls.h"
#include "app/frmM7_1.h"
#include "app/msgbox.h"
#include "files/records.h"

namespace app {

// Writes every row of the list to the working file. A file that cannot be
// written is reported, and then stays as it was; returns whether the file
// now holds the list.
bool frmM7_1::WriteTMPfile()
{
    QStringList rows;
    rows.reserve(List1->count());
    for (int i = 0; i < List1->count(); ++i)
        rows << List1->item(i)->text();

    QString error;
    if (!files::replaceWhole(files::workFileName(), files::recordsOf(rows), error)) {
        MsgBox(error, vbExclamation, appTitle());
        return false;
    }
    return true;
}

void frmM7_1::cmdOFNsave_Click()
{
    // The working file holds the list as it is now.
    const bool written = WriteTMPfile();
    MsgBox(QStringLiteral(" Save As ( temp.onf ) ! "), vbOKOnly, QStringLiteral("Save Object File"));
    // The earlier objects file stays until the new one takes its place in
    // one step; a working file that could not be written never becomes the
    // objects file.
    if (written) {
        QString error;
        if (!files::renameOver(files::workFileName(), files::objectsFileName(), error))
            MsgBox(error, vbExclamation, appTitle());
    }
    // A working file again for the next update.
    WriteTMPfile();
}

} // namespace app
