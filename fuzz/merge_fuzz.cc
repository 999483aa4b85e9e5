// SPDX-License-Identifier: MIT
// The three-way merge of a commit against a model of it. The input holds
// three parts split by 0x1E: the text a process loads, the text another
// process saves meanwhile, and operations the first process makes on its
// buffer (two bytes each: a kind and a choice among the keys). After a
// successful commit every key of the file must be what the rules say:
// a key this process changed has its value; a key it took out is gone
// unless the other process changed it; every other key is the other's.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/paths.h"
#include "profile_store/store_internal.h"
#include "zerir2/zerir2.h"

namespace {

using Key = std::pair<std::string, std::string>;
using Model = std::map<Key, std::string>;

// The header is stamped by every commit whatever the merge says.
char const kHeader[] = "\xe7\x92\xb0\xe5\xa2\x83";  // 環境

Model model_of(IniBuf const* buf) {
    Model m;
    for (IniSection* s = buf->first; s; s = s->next) {
        if (std::strcmp(s->name, kHeader) == 0) continue;
        for (IniEntry* e = s->first; e; e = e->next)
            if (!z2::is_bare_key(e->text)) m[{s->name, e->text}] = e->text + std::strlen(e->text) + 1;
    }
    return m;
}

// The model of a text as the library loads it.
Model model_of_text(std::string const& text) {
    static int fd = memfd_create("merge", 0);
    static std::string const path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 ||
        (!text.empty() && pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size())))
        std::abort();
    IniBuf buf = {};
    if (ReloadIniFile(&buf, path.c_str()) != 1) std::abort();
    Model m = model_of(&buf);
    FreeIniBuf(&buf);
    return m;
}

std::string part(std::string const& all, size_t* pos) {
    size_t end = all.find('\x1e', *pos);
    if (end == std::string::npos) end = all.size();
    std::string p = all.substr(*pos, end - *pos);
    *pos = end < all.size() ? end + 1 : end;
    return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static std::string const dir = [] {
        std::string d = std::string(ZERIR2_USERS_ROOT) + "mergefuzz" + std::to_string(getpid());
        std::string cmd = "mkdir -p '" + d + "'";
        if (std::system(cmd.c_str()) != 0) std::abort();
        return d;
    }();
    std::string const profile = dir + "/zerir2.ven";
    std::string const all(reinterpret_cast<char const*>(data), size);
    size_t pos = 0;
    std::string const base = part(all, &pos), disk = part(all, &pos), ops = part(all, &pos);
    // Style lists stay out: the block loads the main profile only.
    if (base.find("\xe3\x82\xb9\xe3\x82\xbf\xe3\x82\xa4\xe3\x83\xab") != std::string::npos) return 0;  // スタイル
    z2fuzz::put_file(profile, reinterpret_cast<uint8_t const*>(base.data()), base.size());
    unsigned const uid = getuid(), gid = getgid();

    ConfBufList list = {};
    OpenProfile(profile.c_str(), &list);
    ConfBufStr* block = list.first;
    if (!block) std::abort();
    Model const b = model_of(&block->main);
    Model const d = model_of_text(disk);
    std::vector<Key> keys;
    for (auto const& kv : b) keys.push_back(kv.first);
    for (auto const& kv : d) keys.push_back(kv.first);
    for (size_t i = 0; i + 1 < ops.size(); i += 2) {
        unsigned char const kind = static_cast<unsigned char>(ops[i]), pick = static_cast<unsigned char>(ops[i + 1]);
        if (keys.empty() || kind >= 0xF0) {
            std::string const sec = "new" + std::to_string(kind & 3), key = "k" + std::to_string(pick & 7);
            WritePrivateProfileString(sec.c_str(), key.c_str(), "n", nullptr, block, -1);
            continue;
        }
        Key const& k = keys[pick % keys.size()];
        switch (kind % 3) {
            case 0:
                RemovePrivateProfileString(k.first.c_str(), k.second.c_str(), nullptr, block, -1);
                break;
            case 1:
                WritePrivateProfileString(k.first.c_str(), k.second.c_str(), ("v" + std::to_string(kind)).c_str(),
                                          nullptr, block, -1);
                break;
            default: {  // the value the other process saves, or the loaded one
                Model const& from = d.count(k) ? d : b;
                WritePrivateProfileString(k.first.c_str(), k.second.c_str(), from.at(k).c_str(), nullptr, block, -1);
            }
        }
    }
    Model const m = model_of(&block->main);
    z2fuzz::put_file(profile, reinterpret_cast<uint8_t const*>(disk.data()), disk.size());  // same inode
    if (SetProfiles(profile.c_str(), uid, gid, nullptr, nullptr, 0, nullptr, &list) == 1) {
        Model expect;
        Model keysOf = b;
        keysOf.insert(d.begin(), d.end());
        keysOf.insert(m.begin(), m.end());
        for (auto const& kv : keysOf) {
            Key const& k = kv.first;
            auto mi = m.find(k), bi = b.find(k), di = d.find(k);
            bool const mine = mi != m.end(), inBase = bi != b.end(), onDisk = di != d.end();
            if (mine && (!inBase || mi->second != bi->second)) expect[k] = mi->second;
            else if (!mine && inBase && onDisk && di->second == bi->second) continue;
            else if (onDisk) expect[k] = di->second;
        }
        IniBuf written = {};
        if (ReloadIniFile(&written, profile.c_str()) != 1) std::abort();
        if (model_of(&written) != expect) std::abort();
        if (model_of(&block->main) != expect) std::abort();  // the buffer holds what was written
        FreeIniBuf(&written);
    }
    CloseProfile(profile.c_str(), &list);
    return 0;
}
