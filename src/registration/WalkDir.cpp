#include "registration/WalkDir.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QByteArray>
#include <QFile>
#include <QList>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <set>
#include <utility>
#include <vector>

namespace WalkDir {
namespace {

// The header lines of an XIF are short; a file whose fifth line does not begin within this many bytes
// is not an XIF we can use, however large it is.
constexpr qsizetype HeaderLimit = qsizetype(64) * 1024;
constexpr qsizetype ReadChunk = 4096;

bool endsWithXif(const char* name, size_t length)
{
    if (length < 4)
        return false;
    const char* ext = name + length - 4;
    return ext[0] == '.' && (ext[1] | 0x20) == 'x' && (ext[2] | 0x20) == 'i' && (ext[3] | 0x20) == 'f';
}

bool endsWithXif(const QString& path)
{
    return path.size() >= 4 && path.right(4).compare(QLatin1String(".xif"), Qt::CaseInsensitive) == 0;
}

// Up to the first five lines of the file, without their line ends.
QList<QByteArray> headerLines(const QByteArray& path)
{
    QList<QByteArray> lines;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return lines;
    QByteArray data;
    char buffer[ReadChunk];
    qsizetype newlines = 0;
    while (newlines < 5 && data.size() < HeaderLimit) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        newlines += std::count(buffer, buffer + n, '\n');
        data.append(buffer, n);
    }
    ::close(fd);
    qsizetype start = 0;
    while (lines.size() < 5 && start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        QByteArray line = data.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
        start = end + 1;
    }
    return lines;
}

QString programIdOfLine(const QByteArray& line)
{
    const auto pair = [&](qsizetype b) { return line.mid(3 * b, 2); };
    // The first character decides: up to "8" the ID is written as hexadecimal digits, after it as text.
    const bool textForm = !line.isEmpty() && static_cast<unsigned char>(line.at(0)) > '8';
    QString id;
    for (int b = 0; b < 8; ++b) {
        const QByteArray digits = pair(b);
        if (!textForm) {
            id += QString::fromLatin1(digits);
            continue;
        }
        bool ok = false;
        const uint code = digits.toUInt(&ok, 16);
        id += (ok && code != 0) ? QChar(code) : QChar(QLatin1Char(' '));
    }
    if (textForm)
        id += QString(8, QLatin1Char(' '));
    return id;
}

QString programIdOfFile(const QByteArray& nativePath)
{
    const QList<QByteArray> lines = headerLines(nativePath);
    if (lines.size() < 4)
        return QString();
    QByteArray line = lines.at(3);
    if (line.trimmed().isEmpty())
        line = lines.value(4);
    return programIdOfLine(line);
}

struct FolderId {
    dev_t device;
    ino_t inode;
    bool operator<(const FolderId& other) const
    {
        return device != other.device ? device < other.device : inode < other.inode;
    }
};

enum class Kind { Other, File, Folder };

Kind kindOf(int dirFd, const dirent* entry)
{
    if (entry->d_type == DT_REG)
        return Kind::File;
    if (entry->d_type == DT_DIR)
        return Kind::Folder;
    if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
        return Kind::Other;
    // A link counts as what it points to, as the folder attribute of its target would.
    struct stat st;
    if (::fstatat(dirFd, entry->d_name, &st, 0) != 0)
        return Kind::Other;
    if (S_ISREG(st.st_mode))
        return Kind::File;
    return S_ISDIR(st.st_mode) ? Kind::Folder : Kind::Other;
}

}  // namespace

bool IsFolder(const QString& path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString XifProgramId(const QString& path)
{
    if (!endsWithXif(path))
        return QString();
    return programIdOfFile(QFile::encodeName(path));
}

QString FindXifInFolder(const QString& folder, const QString& programId)
{
    const QString wanted = programId.toUpper();
    if (wanted.isEmpty())
        return QString();
    QByteArray root = QFile::encodeName(folder);
    while (root.size() > 1 && root.endsWith('/'))
        root.chop(1);
    if (root.isEmpty())
        return QString();

    std::set<FolderId> visited;
    // Depth first, as a recursion would go: a folder's subfolders wait on the stack in reverse order,
    // so the first is searched (with everything below it) before the second.
    std::vector<QByteArray> pending{root};
    std::vector<QByteArray> files;
    std::vector<QByteArray> folders;
    while (!pending.empty()) {
        const QByteArray current = std::move(pending.back());
        pending.pop_back();
        DIR* dir = ::opendir(current.constData());
        if (!dir)
            continue;  // unreadable or gone: nothing to find there
        const int dirFd = ::dirfd(dir);
        struct stat st;
        if (::fstat(dirFd, &st) != 0 || !visited.insert({st.st_dev, st.st_ino}).second) {
            ::closedir(dir);
            continue;  // reached again through a link: already searched
        }
        files.clear();
        folders.clear();
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] == '.')
                continue;  // hidden, and the folder itself and its parent
            const size_t length = std::strlen(entry->d_name);
            const Kind kind = kindOf(dirFd, entry);
            if (kind == Kind::File && endsWithXif(entry->d_name, length))
                files.emplace_back(entry->d_name, qsizetype(length));
            else if (kind == Kind::Folder)
                folders.emplace_back(entry->d_name, qsizetype(length));
        }
        ::closedir(dir);
        // The listing's order is the file system's; names in order make the first match the same on
        // every machine.
        std::sort(files.begin(), files.end());
        const QByteArray prefix = current.endsWith('/') ? current : current + '/';
        for (const QByteArray& name : files) {
            const QByteArray path = prefix + name;
            if (programIdOfFile(path) == wanted)
                return QFile::decodeName(path);
        }
        std::sort(folders.begin(), folders.end());
        for (auto it = folders.rbegin(); it != folders.rend(); ++it)
            pending.push_back(prefix + *it);
    }
    return QString();
}

}  // namespace WalkDir
