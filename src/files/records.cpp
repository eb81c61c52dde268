#include "files/records.h"

#include "table/rows.h"

#include <QFile>
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
    }

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly)) {
        error = out.errorString();
        return false;
    }
    if (out.write(bytes) != bytes.size()) {
        error = out.errorString();
        out.cancelWriting();
        return false;
    }
    if (!out.commit()) {
        error = out.errorString();
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
