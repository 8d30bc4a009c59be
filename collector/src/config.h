#pragma once
// The collector's configuration file (INI, ';' starts a comment line):
//
//   [server]
//   listen = ADDRESS:PORT      default 127.0.0.1:8080; port 0: any free one,
//                              which the collector says on standard output
//   threads = N                requests served at once, 1..1024, default 32
//   [store]
//   database = sqlite:PATH     default sqlite:collector.db beside the file;
//              or a PostgreSQL connection string (key=value ... or a
//              postgresql:// URI)
//   history = N                reports kept per desk, 1..100000, default 50
//   [tokens]
//   COMPANY = TOKEN            one line per company, at least one; a token
//                              is 16..200 printable ASCII characters and
//                              belongs to one company only
//
// Any other section or key is an error, so a misspelt key is not silently
// ignored.
#include <string>
#include <vector>

namespace collector {

struct CompanyToken {
    std::string company;
    std::string token;
};

struct Config {
    std::string host = "127.0.0.1";
    unsigned port = 8080;
    unsigned threads = 32;
    // Exactly one of the two is set.
    std::string sqlitePath;   // absolute or relative to the working folder
    std::string postgres;     // libpq connection string
    unsigned history = 50;
    std::vector<CompanyToken> tokens;
};

// Reads and checks the file. On a fault returns false and an error naming
// the file, the key and what is wrong with it.
bool LoadConfig(const std::string& path, Config& config, std::string& error);

// The company whose token this is, or "" for none.
std::string CompanyOfToken(const Config& config, const std::string& token);

} // namespace collector
