#include "files/records.h"

#include "table/rows.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace files {

QByteArray recordOf(const QString &row)
{
    QByteArray r;
    r.reserve(32);
    r += '"';
    r += table::cutPosition(row).toLatin1();
    r += "\",\"";
    r += table::cutPrefixedGsm(row).toLatin1();
    r += "\",";
    r += table::cutObject(row).toLatin1();
    r += "\r\n";
    return r;
}

QByteArray recordsOf(const QStringList &rows)
{
    QByteArray out;
    out.reserve(rows.size() * 30);
    for (const QString &row : rows)
        out += recordOf(row);
    return out;
}

namespace {
QString systemError(int code)
{
    return QString::fromLocal8Bit(std::strerror(code));
}
} // namespace

bool replaceWhole(const QString &path, const QByteArray &bytes, QString &error)
{
    // Renaming a new file over the old one would succeed on a read-only file
    // and on one the user may not write: check that the file itself could be
    // opened for writing, as a plain rewrite would have to.
    const QByteArray native = QFile::encodeName(path);
    struct stat st;
    if (::stat(native.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            error = systemError(EISDIR);
            return false;
        }
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            error = systemError(EACCES);
            return false;
        }
        QFile probe(path);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
            error = probe.errorString();
            return false;
        }
        // A device or a pipe is written to, never replaced by a file.
        if (!S_ISREG(st.st_mode)) {
            errno = 0;
            if (probe.write(bytes) != bytes.size() || !probe.flush()) {
                error = errno != 0 ? systemError(errno) : probe.errorString();
                return false;
            }
            return true;
        }
    }

    QSaveFile out(path);
    // Where the directory cannot be written but the file can, the file is
    // rewritten in place rather than refused; a failure is still reported.
    out.setDirectWriteFallback(true);
    if (!out.open(QIODevice::WriteOnly)) {
        error = out.errorString();
        return false;
    }
    // A small file stays in the write buffer until commit(), and Qt 6.4's
    // commit() does not report a failed flush (a full disk, a file-size
    // limit): flush first and check it, so that a cut file never takes the
    // place of the earlier one.
    errno = 0;
    if (out.write(bytes) != bytes.size() || !out.flush()) {
        // Qt 6.4 gives "Unknown error" for a failed flush: the system's own
        // text ("No space left on device", "File too large") says more.
        const int code = errno;
        error = code != 0 ? systemError(code) : out.errorString();
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        error = out.errorString();
        return false;
    }
    return true;
}

bool canReplace(const QString &path, QString &error)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        error = systemError(EISDIR);
        return false;
    }
    if (!info.absoluteDir().exists()) {
        error = systemError(ENOENT);
        return false;
    }
    return true;
}

bool renameOver(const QString &from, const QString &to, QString &error)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0) {
        error = systemError(errno);
        return false;
    }
    return true;
}

} // namespace files
