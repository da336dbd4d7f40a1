// weibao-sheetread <file>: the cells of the first worksheet of an old binary
// workbook (.xls) on standard output, as frames the program reads back:
//
//   frame   = type (1 byte) + length of the payload (4 bytes, little-endian) + payload
//   'O'     the workbook is open; no payload
//   'F'     it cannot be read: the library's status (4 bytes, signed) and a kind
//           (1 byte: 'o' not a workbook, 's' no worksheet, 'd' no dimensions)
//   'R'     a row: its number from 1 (4 bytes), the count of cells (2 bytes),
//           then per cell its column from 0 (2 bytes), a kind and the value:
//           'n' a number (8 bytes, IEEE double), 't' a text, 'd' a date
//           ("yyyy-mm-dd"), 'T' a date and time ("yyyy-mm-dd HH:MM:SS"); texts
//           as their length (4 bytes) and their UTF-8 bytes
//   'E'     the end of the sheet; no payload
//
// The process confines itself before it reads the file (see ConfineProcess).
// "weibao-sheetread --check-confinement <folder>" confines itself and then
// tries what it must not be able to do; it exits with 0 only when every try
// was refused, and names the first that was not on standard error.
#include "SheetConfine.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <freexl.h>

namespace {

const char* argv0 = nullptr;

void Put32(std::string& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(char((v >> (8 * i)) & 0xFF));
}

void Put16(std::string& out, uint16_t v)
{
    out.push_back(char(v & 0xFF));
    out.push_back(char(v >> 8));
}

bool Frame(char type, const std::string& payload)
{
    std::string head(1, type);
    Put32(head, uint32_t(payload.size()));
    return fwrite(head.data(), 1, head.size(), stdout) == head.size() &&
           fwrite(payload.data(), 1, payload.size(), stdout) == payload.size();
}

int Failure(int status, char kind)
{
    std::string payload;
    Put32(payload, uint32_t(status));
    payload.push_back(kind);
    Frame('F', payload);
    fflush(stdout);
    return 0;
}

void PutText(std::string& out, char kind, const char* text)
{
    const size_t length = strlen(text);
    out.push_back(kind);
    Put32(out, uint32_t(length));
    out.append(text, length);
}

int CheckConfinement(const char* folder)
{
    if (!ConfineProcess())
        return 2;
    const std::string probe = std::string(folder) + "/probe";
    const auto allowed = [](const char* what) {
        fprintf(stderr, "allowed: %s\n", what);
        return 1;
    };
    if (open(probe.c_str(), O_WRONLY | O_CREAT, 0644) >= 0)
        return allowed("create a file");
    if (mkdir(probe.c_str(), 0755) == 0)
        return allowed("make a folder");
    if (socket(AF_INET, SOCK_STREAM, 0) >= 0)
        return allowed("open a socket");
    if (socket(AF_UNIX, SOCK_STREAM, 0) >= 0)
        return allowed("open a local socket");
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    if (child > 0) {
        waitpid(child, nullptr, 0);
        return allowed("start a process");
    }
    // 1 GB is more memory than the limit allows.
    void* block = malloc(size_t(1) << 30);
    if (block) {
        memset(block, 1, size_t(1) << 30);
        return allowed("take 1 GB of memory");
    }
    // Reading stays possible: the helper must read its file.
    const int fd = open(argv0, O_RDONLY);
    if (fd < 0)
        return 3;
    close(fd);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    argv0 = argv[0];
    if (argc == 3 && strcmp(argv[1], "--check-confinement") == 0)
        return CheckConfinement(argv[2]);
    if (argc != 2 || !ConfineProcess())
        return 2;
    static char buffer[1 << 16];
    setvbuf(stdout, buffer, _IOFBF, sizeof buffer);

    const void* handle = nullptr;
    const int status = freexl_open(argv[1], &handle);
    if (status != FREEXL_OK)
        return Failure(status, 'o');
    unsigned int sheets = 0;
    if (freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK || sheets == 0)
        return Failure(0, 's');
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_select_active_worksheet(handle, 0) != FREEXL_OK ||
        freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
        return Failure(0, 'd');
    if (!Frame('O', {}))
        return 1;

    std::string cells;
    for (unsigned int row = 0; row < rows; ++row) {
        cells.clear();
        uint16_t count = 0;
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue cell;
            if (freexl_get_cell_value(handle, row, c, &cell) != FREEXL_OK)
                return 3;
            const size_t before = cells.size();
            Put16(cells, c);
            switch (cell.type) {
            case FREEXL_CELL_INT:
            case FREEXL_CELL_DOUBLE: {
                const double value =
                    cell.type == FREEXL_CELL_INT ? double(cell.value.int_value) : cell.value.double_value;
                uint64_t bits;
                memcpy(&bits, &value, sizeof bits);
                cells.push_back('n');
                Put32(cells, uint32_t(bits));
                Put32(cells, uint32_t(bits >> 32));
                break;
            }
            case FREEXL_CELL_TEXT:
            case FREEXL_CELL_SST_TEXT:
            case FREEXL_CELL_TIME:
                if (cell.value.text_value && *cell.value.text_value)
                    PutText(cells, 't', cell.value.text_value);
                else
                    cells.resize(before);
                break;
            case FREEXL_CELL_DATE:
                PutText(cells, 'd', cell.value.text_value ? cell.value.text_value : "");
                break;
            case FREEXL_CELL_DATETIME:
                PutText(cells, 'T', cell.value.text_value ? cell.value.text_value : "");
                break;
            default:
                cells.resize(before);
                break;
            }
            if (cells.size() != before)
                ++count;
        }
        if (count == 0)
            continue;
        std::string payload;
        Put32(payload, row + 1);
        Put16(payload, count);
        payload += cells;
        if (!Frame('R', payload))
            return 1;
    }
    freexl_close(handle);
    if (!Frame('E', {}) || fflush(stdout) != 0)
        return 1;
    return 0;
}
