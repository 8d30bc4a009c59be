#pragma once
// Where the reports are kept: an SQLite file or a PostgreSQL database,
// through POCO Data, with one schema for both.
//
//   desks    one line per desk (machine, company): its last report's
//            summary and its last known speed figures; the page reads this
//            table alone
//   reports  the last N reports of every desk, numbered per desk (seq)
//
// One writer thread commits the reports that arrive meanwhile in one
// transaction (SQLite in WAL mode with full sync; PostgreSQL with
// synchronous commit), and Add returns only after that commit: a report
// acknowledged to a desk survives a kill of the collector.
#include "config.h"
#include "report.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Poco { namespace Data { class Session; } }

namespace collector {

// One report as received, checked and ready to keep.
struct Intake {
    std::string machine, company;
    std::string deskTime;   // the desk's local time as it sent it
    std::string received;   // UTC, YYYY-MM-DD HH:MM:SS
    ReportSummary summary;
    std::string body;       // the report's JSON as posted
};

// What the page shows of a kept report.
struct KeptReport {
    std::string deskTime, received, source;
    bool ready = false;
    int rows = 0;
    std::vector<std::string> failed;    // titles of the failed rows
    std::string download, upload;
};

// A desk as the page shows it: its last report, except that the speed
// figures are the last ones any report sent ("" when none came yet).
struct DeskRow : KeptReport {
    std::string machine, company;
    std::int64_t reports = 0;   // reports received from it, all told
    std::string speedReceived;  // when the figures came
};

// One kept report of a desk.
struct HistoryEntry : KeptReport {
    std::string company;
    std::int64_t seq = 0;
    std::string body;
};

class Store {
public:
    // Connects, creates the tables when missing and starts the writer.
    // Null with the reason when the database cannot be opened.
    static std::unique_ptr<Store> Open(const Config& config, std::string& error);
    ~Store();   // reports already queued are committed first

    // "sqlite" or "postgresql".
    const char* Kind() const;

    // Keeps the report and the desk's new state, dropping the desk's
    // reports beyond the history; returns once committed. False (and why)
    // when the database refused it.
    bool Add(const Intake& report, std::string& error);

    // Every desk, ordered by machine name, then company.
    bool Desks(std::vector<DeskRow>& desks, std::string& error);
    // How many desks there are and how many of them are ready.
    bool Count(std::int64_t& desks, std::int64_t& ready, std::string& error);
    // The kept reports of the desks of this name, newest first; of one
    // company's only when company is not empty.
    bool History(const std::string& machine, const std::string& company, std::vector<HistoryEntry>& entries,
                 std::string& error);

private:
    struct Pending;
    struct Writer;

    Store(const Config& config);
    std::unique_ptr<Poco::Data::Session> Connect() const;
    void CreateTables(Poco::Data::Session& session) const;
    std::string Sql(const std::string& text) const;
    void WriterLoop();
    void Commit(const std::vector<Pending*>& batch);
    std::unique_ptr<Writer> OpenWriter() const;
    void Write(Writer& writer, const Intake& report) const;
    template <typename Query> bool Read(Query query, std::string& error);

    const bool m_sqlite;
    const std::string m_connect;
    const unsigned m_history;

    std::mutex m_queueLock;
    std::condition_variable m_wake, m_finished;
    std::deque<Pending*> m_queue;
    bool m_stopping = false;
    std::unique_ptr<Writer> m_writer;   // the writer thread's alone
    std::thread m_thread;

    std::mutex m_readLock;
    std::unique_ptr<Poco::Data::Session> m_reader;
};

} // namespace collector
