// Creates a fresh SQLite file from schema scripts, run in order:
// make_template <schema.sql> [<more.sql> ...] <output>.
// The output is written to a temporary name first so a failed run never leaves half a template.
#include <sqlite3.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_template <schema.sql> [<more.sql> ...] <output>\n");
        return 2;
    }
    std::stringstream script;
    for (int i = 1; i < argc - 1; ++i) {
        std::ifstream in(argv[i]);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        script << in.rdbuf() << "\n";
    }

    const std::string target = argv[argc - 1];
    const std::string temp = target + ".tmp";
    std::remove(temp.c_str());
    sqlite3* db = nullptr;
    if (sqlite3_open(temp.c_str(), &db) != SQLITE_OK) {
        std::fprintf(stderr, "cannot create %s\n", temp.c_str());
        return 1;
    }
    char* error = nullptr;
    if (sqlite3_exec(db, script.str().c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "schema failed: %s\n", error ? error : "unknown error");
        sqlite3_free(error);
        sqlite3_close(db);
        std::remove(temp.c_str());
        return 1;
    }
    sqlite3_close(db);
    if (std::rename(temp.c_str(), target.c_str()) != 0) {
        std::fprintf(stderr, "cannot write %s\n", target.c_str());
        return 1;
    }
    return 0;
}
