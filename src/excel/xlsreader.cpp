#include "excel/xlsreader.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <freexl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// FreeXL reads past its buffers on some damaged files, so it runs in a child process of its
// own: the child walks the sheet and passes the raw cell values through a pipe, and a crash
// of the child is only a damaged file to the program. The child touches nothing but FreeXL,
// the pipe and plain memory, as a child of a threaded process must.

namespace Xls {
namespace {

constexpr int ReadSeconds = 60;
constexpr quint32 EndOfCells = 0xFFFFFFFF;

// What the child reports before any cell.
enum Status : qint32 { Found = 0, NoSheet = 1, Protected = 2 }; // negative: a FreeXL error

// The child's side: buffered writes to the pipe; a failed write ends the child.
class PipeWriter {
public:
    explicit PipeWriter(int fd) : m_fd(fd) {}
    template <typename T> void put(const T& value) { put(&value, sizeof value); }
    void put(const void* data, size_t size) {
        if (m_buffer.size() + size > 65536) {
            flush();
        }
        m_buffer.append(static_cast<const char*>(data), size);
    }
    void flush() {
        const char* p = m_buffer.data();
        size_t left = m_buffer.size();
        while (left > 0) {
            const ssize_t n = write(m_fd, p, left);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                _exit(3);
            }
            p += n;
            left -= size_t(n);
        }
        m_buffer.clear();
    }

private:
    int m_fd;
    std::string m_buffer;
};

int findSheet(const void* book, const char* sheetName) {
    unsigned int sheets = 0;
    if (freexl_get_info(book, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK) {
        return -1;
    }
    for (unsigned int i = 0; i < sheets && i <= 0xFFFF; ++i) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(book, (unsigned short)i, &name) == FREEXL_OK && name &&
            strcasecmp(name, sheetName) == 0) {
            return int(i);
        }
    }
    return -1;
}

// Status, then for a found sheet: each cell as row, column, type and value, then EndOfCells
// and the status of the walk.
void walkSheet(const char* path, const char* sheetName, PipeWriter& out) {
    const void* book = nullptr;
    int code = freexl_open(path, &book);
    unsigned int info = 0;
    if (code == FREEXL_OK && freexl_get_info(book, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED) {
        out.put(qint32(Protected));
        return;
    }
    const int sheet = code == FREEXL_OK ? findSheet(book, sheetName) : -1;
    if (code != FREEXL_OK || sheet < 0) {
        out.put(qint32(code != FREEXL_OK ? code : NoSheet));
        return;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    code = freexl_select_active_worksheet(book, (unsigned short)sheet);
    if (code == FREEXL_OK) {
        code = freexl_worksheet_dimensions(book, &rows, &columns);
    }
    out.put(qint32(code == FREEXL_OK ? Found : code));
    if (code != FREEXL_OK) {
        return;
    }
    out.put(quint32(rows));
    out.put(quint16(columns));
    for (unsigned int r = 0; r < rows && code == FREEXL_OK; ++r) {
        for (unsigned short c = 0; c < columns && code == FREEXL_OK; ++c) {
            FreeXL_CellValue cell;
            code = freexl_get_cell_value(book, r, c, &cell);
            if (code != FREEXL_OK || cell.type == FREEXL_CELL_NULL) {
                continue;
            }
            out.put(quint32(r));
            out.put(quint16(c));
            out.put(quint8(cell.type));
            if (cell.type == FREEXL_CELL_INT) {
                out.put(qint32(cell.value.int_value));
            } else if (cell.type == FREEXL_CELL_DOUBLE) {
                out.put(cell.value.double_value);
            } else {
                const char* text = cell.value.text_value ? cell.value.text_value : "";
                const quint32 size = quint32(strlen(text));
                out.put(size);
                out.put(text, size);
            }
        }
    }
    out.put(EndOfCells);
    out.put(qint32(code));
    // The child ends here: its exit releases the workbook.
}

QString reasonOf(int code) {
    switch (code) {
    case Protected:
        return QStringLiteral("工作簿设有密码保护");
    case FREEXL_FILE_NOT_FOUND:
        return QStringLiteral("文件无法打开");
    case FREEXL_INSUFFICIENT_MEMORY:
        return QStringLiteral("内存不足");
    case FREEXL_UNSUPPORTED_CHARSET:
        return QStringLiteral("工作簿的字符编码无法识别");
    case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
        return QStringLiteral("文件中没有 Excel 工作簿（它可能设有密码）");
    default:
        return QStringLiteral("文件已损坏或不完整");
    }
}

[[noreturn]] void fail(int code) {
    throw UnreadableWorkbook{reasonOf(code)};
}

// Everything the child writes; false when it crashed, stalled or wrote too much.
bool collect(pid_t child, int in, QByteArray* bytes) {
    const QDeadlineTimer deadline(ReadSeconds * 1000);
    bool ok = true;
    char buffer[65536];
    for (;;) {
        pollfd ready = {in, POLLIN, 0};
        const int waited = poll(&ready, 1, int(deadline.remainingTime()));
        if (waited < 0 && errno == EINTR) {
            continue;
        }
        if (waited <= 0 || bytes->size() > WorkbookLimits::TextBytes) {
            ok = false;
            break;
        }
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        bytes->append(buffer, n);
    }
    if (!ok) {
        kill(child, SIGKILL);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Reads the child's report back; a short report counts as damage.
class Report {
public:
    explicit Report(const QByteArray& bytes) : m_bytes(bytes) {}
    template <typename T> T take() {
        T value;
        std::memcpy(&value, need(sizeof value), sizeof value);
        return value;
    }
    QString text() {
        const auto size = take<quint32>();
        return QString::fromUtf8(need(size), qsizetype(size));
    }

private:
    const char* need(size_t size) {
        if (size > size_t(m_bytes.size() - m_at)) {
            fail(FREEXL_CFBF_READ_ERROR);
        }
        const char* at = m_bytes.constData() + m_at;
        m_at += qsizetype(size);
        return at;
    }
    const QByteArray& m_bytes;
    qsizetype m_at = 0;
};

QString cellText(quint8 type, Report& report) {
    switch (type) {
    case FREEXL_CELL_INT:
        return QString::number(report.take<qint32>());
    case FREEXL_CELL_DOUBLE:
        return numberText(report.take<double>());
    default: // texts, and dates already written as "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS", "HH:MM:SS"
        return report.text();
    }
}

} // namespace

bool readSheet(const QString& path, const QString& sheetName, SheetCells& cells) {
    const QByteArray file = QFile::encodeName(path);
    const QByteArray name = sheetName.toUtf8();
    int channel[2];
    if (pipe(channel) != 0) {
        throw UnreadableWorkbook{QString::fromLocal8Bit(strerror(errno))};
    }
    const pid_t child = fork();
    if (child < 0) {
        close(channel[0]);
        close(channel[1]);
        throw UnreadableWorkbook{QString::fromLocal8Bit(strerror(errno))};
    }
    if (child == 0) {
        close(channel[0]);
        PipeWriter out(channel[1]);
        walkSheet(file.constData(), name.constData(), out);
        out.flush();
        _exit(0);
    }
    close(channel[1]);
    QByteArray bytes;
    const bool finished = collect(child, channel[0], &bytes);
    close(channel[0]);
    if (!finished) {
        fail(FREEXL_CFBF_READ_ERROR);
    }

    Report report(bytes);
    const auto status = report.take<qint32>();
    if (status == NoSheet) {
        return false;
    }
    if (status != Found) {
        fail(status);
    }
    const auto rows = report.take<quint32>();
    const auto columns = report.take<quint16>();
    if (qint64(rows) * columns > WorkbookLimits::Cells) {
        throw UnreadableWorkbook{
            QStringLiteral("工作表太大（%1 行 × %2 列）").arg(rows).arg(columns)};
    }
    for (auto row = report.take<quint32>(); row != EndOfCells; row = report.take<quint32>()) {
        const auto column = report.take<quint16>();
        const auto type = report.take<quint8>();
        cells.set(row, column, cellText(type, report));
    }
    const auto walked = report.take<qint32>();
    if (walked != FREEXL_OK) {
        fail(walked);
    }
    return true;
}

} // namespace Xls
