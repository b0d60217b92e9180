#pragma once
// Helpers shared by the tests: where the test run keeps its files, the local HTTP server, and
// scratch folders that clean up after themselves.

#include <string>

// The folder of this build's test run (testrun/ in the build tree).
std::string TestRuntimeDir();

// A committed sample file under tests/data.
std::string TestDataPath(const std::string& name);

// One of the tests' publisher key files (tests/data/keys).
inline std::string TestKeyPath(const std::string& name) { return TestDataPath("keys/" + name); }

// A path inside the folder that the local HTTP server serves ("www" of the test run).
// `relative` uses backslashes or slashes; the folders on the way are created.
std::string ServedPath(const std::string& relative);

// Writes `content` to a file (binary). Returns false on failure.
bool WriteFileBytes(const std::string& path, const std::string& content);

// Reads a whole file; returns false when it cannot be opened.
bool ReadFileBytes(const std::string& path, std::string* content);

bool FileExists(const std::string& path);

// The port of one of the local server's listeners ("http" unless told otherwise), read from the
// server.ini that the http_server fixture writes. 0 when the server is not running.
int TestServerPort(const char* listener = "http");

// "http://127.0.0.1:<port>/<path>" for the local server.
std::string TestServerUrl(const std::string& path);

// "https://localhost:<port>/<path>" for one of the local server's TLS listeners: "https" (a
// certificate the test run trusts) or "untrusted" (a self-signed one).
std::string TestServerHttpsUrl(const std::string& path, const char* listener = "https");

// The folder that the release tests' nginx serves (site/ of the test run) and its address,
// "http://127.0.0.1:<port>/", or "https://localhost:<port + 1>/" with the test CA's certificate.
std::string ReleaseSitePath();
std::string ReleaseSiteUrl(bool https = false);

// The request lines ("GET /path") the local server has logged so far.
std::string TestServerLog();

// A fresh, empty folder under the test run, removed with everything in it on destruction.
class ScratchDir {
public:
    explicit ScratchDir(const char* tag = "scratch");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // The folder, without a trailing separator.
    const std::string& path() const { return path_; }
    // The folder followed by the platform's separator and `name`.
    std::string operator/(const std::string& name) const;

private:
    std::string path_;
};

// The most memory this process has held so far: its peak working set (Windows) or resident set.
unsigned long long PeakMemoryBytes();

// Removes a folder and everything below it. Missing folders are fine.
void RemoveTree(const std::string& path);

// The platform's path separator as a string: "\\" on Windows, "/" elsewhere.
const char* PathSeparator();
