#include "registrystore.h"

#include "regformat.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kivra::platform {

namespace fs = std::filesystem;

namespace {

struct FileIdentity {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    long long mtimeNs = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

FileIdentity Identify(const fs::path& file) {
    struct stat st {};
    FileIdentity id;
    if (::stat(file.c_str(), &st) != 0)
        return id;
    id.exists = true;
    id.dev = st.st_dev;
    id.ino = st.st_ino;
    id.size = st.st_size;
    id.mtimeNs = static_cast<long long>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    return id;
}

// Keys whose names would break the one-line-per-entry text form are refused.
bool ValidKey(std::string_view key) {
    return key.find_first_of(std::string_view("\n\r\0", 3)) == std::string_view::npos;
}

std::string TimeSuffix() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    ::localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &tm);
    return buf;
}

// A free name "<file>.<tag>-<time>[-n]" beside `file`.
fs::path AsideName(const fs::path& file, const char* tag) {
    const std::string base = file.string() + "." + tag + "-" + TimeSuffix();
    fs::path p = base;
    for (int n = 1; fs::exists(p); ++n)
        p = base + "-" + std::to_string(n);
    return p;
}

bool WriteAll(int fd, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

struct RegistryStore::Root {
    RegRoot id;
    std::string name;
    fs::path file;
    RegHive hive;
    bool loaded = false;
    FileIdentity identity;
    // The file on disk has lines we could not keep; a copy is kept before the first rewrite.
    bool hadIssues = false;
};

std::string_view RegRootName(RegRoot root) {
    return root == RegRoot::CurrentUser ? kRootCurrentUser : kRootClassesRoot;
}

RegistryStore::RegistryStore(fs::path directory, std::ostream* warnings)
    : m_dir(std::move(directory)), m_warnings(warnings) {
    for (RegRoot id : {RegRoot::CurrentUser, RegRoot::ClassesRoot}) {
        auto r = std::make_unique<Root>();
        r->id = id;
        r->name = std::string(RegRootName(id));
        r->file = m_dir / (r->name + ".reg");
        m_roots[static_cast<int>(id)] = std::move(r);
    }
}

RegistryStore::~RegistryStore() = default;

RegistryStore& RegistryStore::instance() {
    static RegistryStore store(DefaultDirectory());
    return store;
}

fs::path RegistryStore::DefaultDirectory() {
    if (const char* dir = std::getenv("KIVRA_REGISTRY_DIR"); dir && *dir)
        return dir;
    // The base directory rules: a relative XDG_CONFIG_HOME is ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg == '/')
        return fs::path(xdg) / "kivra";
    if (const char* home = std::getenv("HOME"); home && *home)
        return fs::path(home) / ".config" / "kivra";
    return fs::path("/tmp") / ("kivra-" + std::to_string(::getuid())) / "config";
}

fs::path RegistryStore::HivePath(RegRoot root) const {
    return m_roots[static_cast<int>(root)]->file;
}

RegistryStore::Root& RegistryStore::root(RegRoot r) {
    return *m_roots[static_cast<int>(r)];
}

void RegistryStore::Warn(const std::string& line) {
    std::ostream& out = m_warnings ? *m_warnings : std::cerr;
    out << "kivra: registry: " << line << std::endl;
}

int RegistryStore::LockFile() {
    std::error_code ec;
    fs::create_directories(m_dir, ec);
    const fs::path lock = m_dir / "registry.lock";
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    while (::flock(fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd);
            return -1;
        }
    }
    return fd;
}

void RegistryStore::UnlockFile(int fd) {
    if (fd >= 0) {
        ::flock(fd, LOCK_UN);
        ::close(fd);
    }
}

bool RegistryStore::RefreshLocked(Root& r, bool haveFileLock) {
    const FileIdentity now = Identify(r.file);
    if (r.loaded && now == r.identity && !haveFileLock)
        return true;
    return LoadFile(r, haveFileLock);
}

void RegistryStore::SetAside(Root& r, const std::string& reason) {
    const fs::path aside = AsideName(r.file, "broken");
    std::error_code ec;
    fs::rename(r.file, aside, ec);
    if (ec)
        Warn(r.file.string() + " is " + reason + " and could not be kept aside (" + ec.message() +
             "); starting " + r.name + " from defaults");
    else
        Warn(r.file.string() + " is " + reason + "; kept it as " + aside.string() +
             " and started " + r.name + " from defaults");
    r.hive = RegHive();
    r.loaded = true;
    r.hadIssues = false;
    r.identity = Identify(r.file);
}

bool RegistryStore::LoadFile(Root& r, bool haveFileLock) {
    const FileIdentity before = Identify(r.file);
    if (!before.exists) {
        r.hive = RegHive();
        r.loaded = true;
        r.hadIssues = false;
        r.identity = before;
        return true;
    }
    std::string text;
    bool readable = false;
    {
        std::ifstream in(r.file, std::ios::binary);
        if (in) {
            std::ostringstream ss;
            ss << in.rdbuf();
            readable = !in.bad();
            text = ss.str();
        }
    }
    RegDocument doc;
    std::string problem;
    if (!readable) {
        problem = "unreadable";
    } else {
        doc = ParseRegText(text);
        if (doc.binary)
            problem = "not a text file";
        else if (!doc.hasHeader)
            problem = "not a REGEDIT4 file";
        else if (!doc.complete)
            problem = "cut off (half-written)";
    }
    if (!problem.empty()) {
        if (!haveFileLock) {
            // Decide under the lock: a writer may be replacing the file right now.
            const int fd = LockFile();
            const bool ok = LoadFile(r, true);
            UnlockFile(fd);
            return ok;
        }
        SetAside(r, problem);
        return true;
    }
    RegHive hive;
    int foreign = 0;
    ApplyRegOperations(doc, r.name, hive, &foreign);
    // Report what was skipped once per version of the file, not on every read.
    const bool newVersion = !(before == r.identity) || !r.loaded;
    if (newVersion) {
        for (const RegParseIssue& issue : doc.issues)
            Warn(r.file.string() + ":" + std::to_string(issue.line) + ": " + issue.reason +
                 ", skipped: " + issue.text);
        if (foreign > 0)
            Warn(r.file.string() + ": " + std::to_string(foreign) +
                 " entries under another root, skipped");
    }
    r.hadIssues = !doc.issues.empty() || foreign > 0;
    r.hive = std::move(hive);
    r.loaded = true;
    r.identity = before;
    return true;
}

bool RegistryStore::WriteLocked(Root& r, const RegHive& hive) {
    std::error_code ec;
    fs::create_directories(m_dir, ec);
    const std::string text = FormatRegText(hive, r.name);
    const fs::path tmp = r.file.string() + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        Warn("cannot write " + tmp.string() + ": " + std::strerror(errno));
        return false;
    }
    const bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    const int err = errno;
    ::close(fd);
    if (!ok) {
        Warn("cannot write " + tmp.string() + ": " + std::strerror(err));
        ::unlink(tmp.c_str());
        return false;
    }
    if (r.hadIssues && Identify(r.file).exists) {
        // The hand-edited original had lines this store does not keep; save it before they go.
        const fs::path copy = AsideName(r.file, "orig");
        fs::copy_file(r.file, copy, ec);
        if (!ec)
            Warn("kept the hand-edited " + r.file.string() + " as " + copy.string());
    }
    if (::rename(tmp.c_str(), r.file.c_str()) != 0) {
        Warn("cannot replace " + r.file.string() + ": " + std::strerror(errno));
        ::unlink(tmp.c_str());
        return false;
    }
    const int dirfd = ::open(m_dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd >= 0) {
        ::fsync(dirfd);
        ::close(dirfd);
    }
    r.hive = hive;
    r.hadIssues = false;
    r.identity = Identify(r.file);
    return true;
}

bool RegistryStore::Modify(RegRoot id, const std::function<bool(RegHive&)>& change) {
    std::lock_guard guard(m_mutex);
    Root& r = root(id);
    const int fd = LockFile();
    if (fd < 0) {
        Warn("cannot lock " + (m_dir / "registry.lock").string() + ": " + std::strerror(errno));
        return false;
    }
    RefreshLocked(r, true);
    RegHive copy = r.hive;
    bool ok = true;
    if (change(copy))
        ok = WriteLocked(r, copy);
    UnlockFile(fd);
    return ok;
}

RegHive RegistryStore::Snapshot(RegRoot id) {
    std::lock_guard guard(m_mutex);
    Root& r = root(id);
    RefreshLocked(r, false);
    return r.hive;
}

bool RegistryStore::KeyExists(RegRoot id, std::string_view key) {
    if (!ValidKey(key))
        return false;
    std::lock_guard guard(m_mutex);
    Root& r = root(id);
    RefreshLocked(r, false);
    return r.hive.HasKey(key);
}

bool RegistryStore::CreateKey(RegRoot id, std::string_view key) {
    if (!ValidKey(key))
        return false;
    if (KeyExists(id, key))
        return true;
    return Modify(id, [&](RegHive& h) { return h.CreateKey(key); });
}

bool RegistryStore::DeleteKey(RegRoot id, std::string_view key) {
    if (!ValidKey(key) || RegNormalizeKeyPath(key).empty())
        return false;
    return Modify(id, [&](RegHive& h) { return h.DeleteKey(key); });
}

bool RegistryStore::SetValue(RegRoot id, std::string_view key, std::string_view name,
                             const RegValue& v) {
    if (!ValidKey(key) || RegNormalizeKeyPath(key).empty())
        return false;
    return Modify(id, [&](RegHive& h) { return h.SetValue(key, name, v); });
}

bool RegistryStore::SetString(RegRoot id, std::string_view key, std::string_view name,
                              std::string_view text) {
    return SetValue(id, key, name, RegValue::String(std::string(text)));
}

bool RegistryStore::SetDword(RegRoot id, std::string_view key, std::string_view name,
                             std::uint32_t value) {
    return SetValue(id, key, name, RegValue::Dword(value));
}

bool RegistryStore::DeleteValue(RegRoot id, std::string_view key, std::string_view name) {
    if (!ValidKey(key))
        return false;
    return Modify(id, [&](RegHive& h) { return h.DeleteValue(key, name); });
}

std::optional<RegValue> RegistryStore::QueryValue(RegRoot id, std::string_view key,
                                                  std::string_view name) {
    if (!ValidKey(key))
        return std::nullopt;
    std::lock_guard guard(m_mutex);
    Root& r = root(id);
    RefreshLocked(r, false);
    if (const RegValue* v = r.hive.FindValue(key, name))
        return *v;
    return std::nullopt;
}

std::optional<std::string> RegistryStore::QueryString(RegRoot id, std::string_view key,
                                                      std::string_view name) {
    auto v = QueryValue(id, key, name);
    if (!v || v->type != RegType::String)
        return std::nullopt;
    return std::move(v->text);
}

std::optional<std::uint32_t> RegistryStore::QueryDword(RegRoot id, std::string_view key,
                                                       std::string_view name) {
    auto v = QueryValue(id, key, name);
    if (!v || v->type != RegType::Dword)
        return std::nullopt;
    return v->dword;
}

std::vector<std::string> RegistryStore::EnumSubKeys(RegRoot id, std::string_view key) {
    std::lock_guard guard(m_mutex);
    Root& r = root(id);
    RefreshLocked(r, false);
    return r.hive.SubKeys(key);
}

std::vector<RegHive::NamedValue> RegistryStore::EnumValues(RegRoot id, std::string_view key) {
    std::lock_guard guard(m_mutex);
    Root& r = root(id);
    RefreshLocked(r, false);
    return r.hive.Values(key);
}

RegImportResult RegistryStore::ImportFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        RegImportResult res;
        res.problems.push_back(file.string() + ": cannot read: " + std::strerror(errno));
        Warn(res.problems.back());
        return res;
    }
    std::ostringstream ss;
    ss << in.rdbuf();
    return ImportText(ss.str());
}

RegImportResult RegistryStore::ImportText(std::string_view text) {
    RegImportResult res;
    const RegDocument doc = ParseRegText(text);
    if (doc.binary || !doc.hasHeader) {
        res.problems.push_back("not a REGEDIT4 file; nothing imported");
        Warn(res.problems.back());
        return res;
    }
    for (const RegParseIssue& issue : doc.issues) {
        res.problems.push_back("line " + std::to_string(issue.line) + ": " + issue.reason +
                               ", skipped: " + issue.text);
        Warn("import: " + res.problems.back());
    }
    res.ok = true;
    for (RegRoot id : {RegRoot::CurrentUser, RegRoot::ClassesRoot}) {
        const std::string name(RegRootName(id));
        int count = 0;
        for (const RegOperation& op : doc.operations)
            count += op.root == name;
        if (count == 0)
            continue;
        const bool stored = Modify(id, [&](RegHive& h) {
            const RegHive before = h;
            ApplyRegOperations(doc, name, h);
            return !(before == h);
        });
        if (stored) {
            res.applied += count;
        } else {
            res.ok = false;
            res.problems.push_back("could not store the keys of " + name);
        }
    }
    return res;
}

} // namespace kivra::platform
