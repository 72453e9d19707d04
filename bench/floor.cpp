// The floor: the least work that reads Google-shaped .ics files into 30 text columns. Plain
// C++ with the sqlite3 C API, one reused statement in one transaction; no Qt, no conversions.
//   floor SOURCE_DIR DB_PATH

#include <sqlite3.h>

#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>

namespace
{
const char* const properties[] = {"SUMMARY:",
                                  "DESCRIPTION:",
                                  "STATUS:",
                                  "LOCATION:",
                                  "URL;VALUE=URI:",
                                  "X-WR-ALARMUID:",
                                  "X-GOOGLE-CONFERENCE:",
                                  "UID:",
                                  "DTEND",
                                  "DTSTAMP:",
                                  "CREATED:",
                                  "LAST-MODIFIED:",
                                  "DTSTART",
                                  "PRODID:",
                                  "ATTACH;FILENAME=",
                                  "RRULE:",
                                  "TRIGGER:",
                                  "ACTION:",
                                  "ATTACH;VALUE=URI:",
                                  "X-WR-CALNAME:"};
constexpr int property_count = sizeof properties / sizeof *properties;

void list_ics(const std::string& dir, std::vector<std::string>* files)
{
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d))
    {
        const std::string name = e->d_name;
        if (name[0] == '.')
            continue;
        const std::string path = dir + "/" + name;
        if (e->d_type == DT_DIR)
            list_ics(path, files);
        else if (name.size() > 4 && name.compare(name.size() - 4, 4, ".ics") == 0)
            files->push_back(path);
    }
    closedir(d);
}

struct scanner
{
    sqlite3_stmt* insert;
    std::string values[30];
    std::string path;
    long rows = 0;

    void line(const std::string& l)
    {
        if (l.compare(0, 10, "END:VEVENT") == 0)
            return store();
        for (int i = 0; i < property_count; ++i)
        {
            const size_t n = std::strlen(properties[i]);
            if (l.compare(0, n, properties[i]) == 0)
            {
                values[i] = l.substr(n);
                return;
            }
        }
    }

    void store()
    {
        for (int i = 0; i < 30; ++i)
        {
            const std::string& v = i < property_count ? values[i] : path;
            sqlite3_bind_text(insert, i + 1, v.data(), int(v.size()), SQLITE_STATIC);
        }
        if (sqlite3_step(insert) == SQLITE_DONE)
            ++rows;
        sqlite3_reset(insert);
        for (auto& v : values)
            v.clear();
    }
};

void read_file(const std::string& path, scanner* s)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return;
    s->path = path;
    std::string line;
    std::string pending;
    std::vector<char> chunk(256 * 1024);
    size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), f)) > 0)
    {
        pending.append(chunk.data(), got);
        size_t start = 0;
        for (;;)
        {
            const size_t lf = pending.find('\n', start);
            if (lf == std::string::npos || lf + 1 >= pending.size())
                break;
            line.append(pending, start, lf - start);
            start = lf + 1;
            if (pending[start] == ' ' || pending[start] == '\t')
            {
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                ++start;
                continue;
            }
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            s->line(line);
            line.clear();
        }
        pending.erase(0, start);
    }
    line += pending;
    s->line(line);
    std::fclose(f);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fputs("usage: floor SOURCE_DIR DB_PATH\n", stderr);
        return 2;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open(argv[2], &db) != SQLITE_OK)
        return 1;
    std::string create = "CREATE TABLE IF NOT EXISTS events(";
    std::string insert = "INSERT INTO events VALUES(";
    for (int i = 0; i < 30; ++i)
    {
        create += (i ? ",c" : "c") + std::to_string(i) + " VARCHAR(1024)";
        insert += i ? ",?" : "?";
    }
    sqlite3_exec(db, (create + ")").c_str(), nullptr, nullptr, nullptr);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    scanner s;
    sqlite3_prepare_v2(db, (insert + ")").c_str(), -1, &s.insert, nullptr);
    std::vector<std::string> files;
    list_ics(std::string(argv[1]) + "/Calendar", &files);
    for (const auto& file : files)
        read_file(file, &s);
    sqlite3_finalize(s.insert);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    std::printf("%ld events\n", s.rows);
    return 0;
}
