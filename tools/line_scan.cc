// SPDX-License-Identifier: MIT
#include "tools/line_scan.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "profile_store/line_rules.h"
#include "profile_store/store_internal.h"
#include "tools/i18n.h"
#include "tools/text_rules.h"

namespace z2tool {

void scan_text(std::string const& text, std::vector<ScanLine>* out) {
    size_t const limit = z2::kLineBuf - 1;
    int number = 1;
    bool continued = false;
    bool inSection = false;
    std::string piece;
    for (size_t at = 0; at < text.size();) {
        size_t nl = text.find('\n', at);
        size_t take = nl == std::string::npos ? text.size() - at : nl - at + 1;
        bool cut = take > limit;
        if (cut) take = limit;
        piece.assign(text, at, take);
        at += take;
        z2::LineParts p = z2::split_line(piece.c_str(), piece.size());
        ScanLine l;
        l.number = number;
        l.piece = continued;
        l.cut = cut;
        l.utf8 = strict_utf8(piece);
        l.nul = piece.find('\0') != std::string::npos;
        if (p.section) {
            l.section = true;
            inSection = true;
            l.name.assign(p.name, p.nameLen);
        } else if (!inSection || piece[0] == ';') {
            l.comment = true;
        } else {
            l.name.assign(p.name, p.nameLen);
            l.hasValue = p.value != nullptr;
            if (p.value) l.value.assign(p.value, p.valueLen);
        }
        out->push_back(l);
        continued = cut;
        if (!cut) ++number;
    }
}

bool scan_file(std::string const& path, std::vector<ScanLine>* out, std::string* error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        *error = fd < 0 ? std::strerror(errno) : _("not a regular file");
        if (fd >= 0) ::close(fd);
        return false;
    }
    std::string text;
    char buf[65536];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) != 0) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || text.size() + static_cast<size_t>(n) > z2::kMaxFileBytes) {
            *error = n < 0 ? std::strerror(errno) : _("larger than the library reads");
            ::close(fd);
            return false;
        }
        text.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    scan_text(text, out);
    return true;
}

}  // namespace z2tool
