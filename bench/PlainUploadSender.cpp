// The yardstick for the upload client: what the client puts on the wire, and nothing else.
//
//   vaultry-bench-upload-sender [--chunk N] ADDRESS LISTKEY [SERVER_NUMBER]
//
// --chunk N sends the bytes with a read and a send of N bytes at a time (the upload client's
// loop, with N = 20480) instead of sendfile, to tell the cost of that loop from the rest.
//
// Lists the queued files on one control connection (port 7510: "@Upload", "@Server<n>", then the
// list key until "ListEnd", each record followed by its fingerprint), then sends each file on
// its own data connection (port 7312: an empty send, three 20480-byte blocks with the two tokens
// and the size, the resume offset back, the bytes from there with sendfile) and reports it
// complete on a fresh control connection ("@Upload_complute", the file number). Plain POSIX, one
// thread, no timers. Exits 0 when every file went, 1 otherwise; one line per failure on stderr.

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iconv.h>
#include <netinet/in.h>
#include <string>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kControlPort = 7510;
constexpr int kDataPort = 7312;
constexpr size_t kHeaderBlock = 20480;
constexpr size_t kReplyBuffer = 20480;
constexpr size_t kMaxOffsetReply = 12;
constexpr int kMaxRecords = 200;

struct Record {
    std::string token1, token2, address, name, localPath;
    long long size = 0;
    int fileNumber = 0;
};

class Socket {
public:
    Socket(const std::string& address, int port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(uint16_t(port));
        if (fd_ < 0 || ::inet_pton(AF_INET, address.c_str(), &to.sin_addr) != 1 ||
            ::connect(fd_, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0)
            close();
    }
    ~Socket() { close(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    bool sendAll(const char* data, size_t size) {
        while (size > 0) {
            const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= size_t(n);
        }
        return true;
    }

    // One command, one reply, read up to its first zero byte (the service answers in one send).
    bool exchange(const std::string& command, std::string& reply) {
        if (!sendAll(command.data(), command.size()))
            return false;
        char buffer[kReplyBuffer + 1];
        ssize_t n;
        do {
            n = ::recv(fd_, buffer, kReplyBuffer, 0);
        } while (n < 0 && errno == EINTR);
        if (n < 0)
            return false;
        buffer[n] = '\0';
        reply.assign(buffer, strnlen(buffer, size_t(n)));
        return true;
    }

    void close() {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

std::vector<std::string> split(const std::string& text, char separator, size_t pieces) {
    std::vector<std::string> out;
    size_t from = 0;
    while (out.size() + 1 < pieces) {
        const size_t at = text.find(separator, from);
        if (at == std::string::npos)
            break;
        out.push_back(text.substr(from, at - from));
        from = at + 1;
    }
    out.push_back(text.substr(from));
    return out;
}

// Local paths travel in code page 949; the file system here is UTF-8.
std::string fromWire(const std::string& wire) {
    iconv_t cd = iconv_open("UTF-8", "CP949");
    if (cd == iconv_t(-1))
        return wire;
    std::string out(wire.size() * 3 + 4, '\0');
    char* in = const_cast<char*>(wire.data());
    size_t inLeft = wire.size();
    char* to = out.data();
    size_t outLeft = out.size();
    const size_t r = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    if (r == size_t(-1))
        return wire;
    out.resize(out.size() - outLeft);
    return out;
}

// The listed size in decimal, then ten bytes sampled in the file, each as the magnitude of the
// byte read as signed, in three digits.
std::string fingerprint(const std::string& path, long long size) {
    long long offset = size / 2;
    if (size < 10)
        offset = 0;
    else if (size > 2000000000LL)
        offset = 1999999990LL;
    unsigned char sample[10] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ssize_t got;
        do {
            got = ::pread(fd, sample, sizeof sample, off_t(offset));
        } while (got < 0 && errno == EINTR);
        ::close(fd);
    }
    std::string text = std::to_string(size);
    char digits[4];
    for (unsigned char byte : sample) {
        std::snprintf(digits, sizeof digits, "%03d", std::abs(int(static_cast<signed char>(byte))));
        text += digits;
    }
    return text;
}

bool list(const std::string& address, const std::string& key, const std::string& server,
          std::vector<Record>& records) {
    Socket control(address, kControlPort);
    std::string upload, reply;
    if (!control.ok() || !control.exchange("@Upload", upload) ||
        !control.exchange("@Server" + server, reply)) {
        std::fprintf(stderr, "listing: no control connection to %s\n", address.c_str());
        return false;
    }
    if (upload != "Ok") {
        std::fprintf(stderr, "listing: @Upload answered \"%s\"\n", upload.c_str());
        return false;
    }
    while (records.size() < size_t(kMaxRecords)) {
        if (!control.exchange(key, reply))
            return false;
        if (reply.empty() || reply == "Null" || reply == "Ping" || reply == "ListEnd")
            break;
        const std::vector<std::string> fields = split(reply, '|', 6);
        if (fields.size() != 6) {
            std::fprintf(stderr, "listing: bad record \"%s\"\n", reply.c_str());
            return false;
        }
        Record r;
        r.token1 = fields[0];
        r.token2 = fields[1];
        r.address = fields[2];
        r.name = fields[3];
        r.localPath = fromWire(fields[4]);
        r.size = std::atoll(fields[5].c_str());
        if (!control.exchange(fingerprint(r.localPath, r.size), reply))
            return false;
        r.fileNumber = std::atoi(reply.c_str());
        records.push_back(r);
    }
    return true;
}

bool sendBlock(Socket& data, const std::string& text) {
    char block[kHeaderBlock] = {};
    std::memcpy(block, text.data(), std::min(text.size(), kHeaderBlock - 1));
    return data.sendAll(block, sizeof block);
}

// The client's way: read a chunk, send it, again.
bool copyInChunks(Socket& data, int file, off_t offset, long long size, size_t chunk) {
    std::vector<char> buffer(chunk);
    if (::lseek(file, offset, SEEK_SET) < 0)
        return false;
    while (offset < size) {
        const size_t want =
            size_t(std::min<long long>(static_cast<long long>(chunk), size - offset));
        ssize_t n;
        do {
            n = ::read(file, buffer.data(), want);
        } while (n < 0 && errno == EINTR);
        if (n <= 0 || !data.sendAll(buffer.data(), size_t(n)))
            return false;
        offset += n;
    }
    return true;
}

bool sendFile(const Record& r, size_t chunk) {
    const int file = ::open(r.localPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        std::fprintf(stderr, "%s: cannot open: %s\n", r.localPath.c_str(), std::strerror(errno));
        return false;
    }
    Socket data(r.address, kDataPort);
    bool ok = data.ok() && ::send(data.fd(), "", 0, MSG_NOSIGNAL) >= 0 &&
              sendBlock(data, r.token1) && sendBlock(data, r.token2) &&
              sendBlock(data, std::to_string(r.size));
    char reply[kMaxOffsetReply + 1] = {};
    ssize_t got = -1;
    if (ok) {
        do {
            got = ::recv(data.fd(), reply, kMaxOffsetReply, 0);
        } while (got < 0 && errno == EINTR);
        ok = got > 0;
    }
    off_t offset = ok ? off_t(std::atoll(reply)) : 0;
    if (offset < 0)
        offset = 0;
    if (offset > r.size)
        ok = false;
    if (ok && chunk > 0)
        ok = copyInChunks(data, file, offset, r.size, chunk);
    while (ok && chunk == 0 && offset < r.size) {
        const ssize_t n = ::sendfile(data.fd(), file, &offset, size_t(r.size - offset));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
    }
    ::close(file);
    data.close();
    if (!ok) {
        std::fprintf(stderr, "%s: data connection failed\n", r.localPath.c_str());
        return false;
    }
    return true;
}

bool reportComplete(const std::string& address, const Record& r) {
    Socket control(address, kControlPort);
    std::string reply;
    return control.ok() && control.exchange("@Upload_complute", reply) &&
           control.exchange(std::to_string(r.fileNumber), reply);
}

} // namespace

int main(int argc, char** argv) {
    size_t chunk = 0;
    if (argc > 2 && std::strcmp(argv[1], "--chunk") == 0) {
        chunk = size_t(std::strtoul(argv[2], nullptr, 10));
        argv += 2;
        argc -= 2;
    }
    if (argc < 3 || argc > 4) {
        std::fputs(
            "usage: vaultry-bench-upload-sender [--chunk N] ADDRESS LISTKEY [SERVER_NUMBER]\n",
            stderr);
        return 2;
    }
    const std::string address = argv[1];
    const std::string key = argv[2];
    const std::string server = argc == 4 ? argv[3] : "1";
    std::vector<Record> records;
    if (!list(address, key, server, records))
        return 1;
    int failed = 0;
    for (const Record& r : records) {
        if (!sendFile(r, chunk) || !reportComplete(address, r)) {
            std::fprintf(stderr, "file %d (%s) not sent\n", r.fileNumber, r.name.c_str());
            ++failed;
        }
    }
    return failed == 0 && !records.empty() ? 0 : 1;
}
