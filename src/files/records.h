#pragma once
// Records of the working file "temp.tfo" and the objects file "temp.onf":
// one record per row of the entry list, in list order, each
//   "(0005)","359888123456",17 CR LF
// built by cutting three stretches out of the row at fixed columns
// (1-6, 10-21, 25-28) and putting them between fixed separators. Nothing is
// escaped or checked; a short row gives short stretches. An empty list
// gives no bytes at all.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace files {

inline QString workFileName() { return QStringLiteral("temp.tfo"); }
inline QString objectsFileName() { return QStringLiteral("temp.onf"); }

// One record, one byte per character.
QByteArray recordOf(const QString &row);
// The records of all rows, one after the other.
QByteArray recordsOf(const QStringList &rows);

// Replaces the file `path` with `bytes` as a whole: the new content goes to
// a temporary file beside it, which then takes the file's place, so that
// the file is either the earlier one or the new one, never a mixture. A
// file marked read-only (no write permission for anybody) is refused even
// where the user could override it. On failure returns false with the
// platform's text in error, and the earlier file is as it was. In a
// directory that cannot be written, a file that can be written is
// rewritten in place instead (a failure half-way is then reported too, but
// cannot keep the earlier bytes).
bool replaceWhole(const QString &path, const QByteArray &bytes, QString &error);

// Whether replaceWhole() could write path, as far as can be told without
// writing: its folder exists, and it is no folder itself. Else false with
// the platform's text in error.
bool canReplace(const QString &path, QString &error);

// Gives `from` the name `to` in one step, replacing an existing `to`.
bool renameOver(const QString &from, const QString &to, QString &error);

} // namespace files
