#include "store.h"

#include <Poco/Data/PostgreSQL/Connector.h>
#include <Poco/Data/SQLite/Connector.h>
#include <Poco/Data/Session.h>
#include <Poco/Data/Statement.h>
#include <Poco/Exception.h>
#include <Poco/Logger.h>

#include <algorithm>
#include <tuple>

using namespace Poco::Data::Keywords;

namespace collector {
namespace {

// Reports committed in one transaction at most.
const std::size_t kMaxBatch = 256;

const char* const kCreateDesks =
    "CREATE TABLE IF NOT EXISTS desks ("
    " machine TEXT NOT NULL, company TEXT NOT NULL, last_seq BIGINT NOT NULL,"
    " desk_time TEXT NOT NULL, received TEXT NOT NULL, source TEXT NOT NULL,"
    " ready INTEGER NOT NULL, row_count INTEGER NOT NULL, failed TEXT NOT NULL,"
    " download TEXT NOT NULL, upload TEXT NOT NULL, speed_received TEXT NOT NULL,"
    " PRIMARY KEY (machine, company))";

const char* const kCreateReports =
    "CREATE TABLE IF NOT EXISTS reports ("
    " machine TEXT NOT NULL, company TEXT NOT NULL, seq BIGINT NOT NULL,"
    " desk_time TEXT NOT NULL, received TEXT NOT NULL, source TEXT NOT NULL,"
    " ready INTEGER NOT NULL, row_count INTEGER NOT NULL, failed TEXT NOT NULL,"
    " download TEXT NOT NULL, upload TEXT NOT NULL, body TEXT NOT NULL,"
    " PRIMARY KEY (machine, company, seq))";

Poco::Logger& Log()
{
    return Poco::Logger::get("collector.store");
}

// Failed titles are kept one per line: a title holds no control character.
std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
    return text;
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The columns both tables share, read into a KeptReport.
struct SummaryColumns {
    static const std::string kNames;
    std::vector<std::string> deskTime, received, source, failed, download, upload;
    std::vector<int> ready, rows;

    void Bind(Poco::Data::Statement& select)
    {
        select, into(deskTime), into(received), into(source), into(ready), into(rows), into(failed), into(download),
            into(upload);
    }

    void Take(std::size_t i, KeptReport& report)
    {
        report.deskTime = std::move(deskTime[i]);
        report.received = std::move(received[i]);
        report.source = std::move(source[i]);
        report.ready = ready[i] != 0;
        report.rows = rows[i];
        report.failed = SplitLines(failed[i]);
        report.download = std::move(download[i]);
        report.upload = std::move(upload[i]);
    }
};

const std::string SummaryColumns::kNames = "desk_time, received, source, ready, row_count, failed, download, upload";

} // namespace

struct Store::Pending {
    const Intake* report = nullptr;
    bool done = false;
    bool ok = false;
    std::string error;
};

// The writer's connection with its statements, prepared once: each reads
// its values from the fields below when it runs.
struct Store::Writer {
    std::unique_ptr<Poco::Data::Session> session;
    std::string machine, company, deskTime, received, source, failed, body;
    std::string reportDownload, reportUpload, deskDownload, deskUpload, speedReceived;
    Poco::Int64 seq = 0, oldest = 0;
    int ready = 0, rowCount = 0;
    std::vector<Poco::Int64> lastSeq;
    std::vector<std::string> lastDownload, lastUpload, lastSpeed;
    std::unique_ptr<Poco::Data::Statement> select, insertReport, upsertDesk, trim;
};

Store::Store(const Config& config)
    : m_sqlite(!config.sqlitePath.empty()),
      m_connect(m_sqlite ? config.sqlitePath : config.postgres),
      m_history(config.history)
{
}

std::unique_ptr<Store> Store::Open(const Config& config, std::string& error)
{
    Poco::Data::SQLite::Connector::registerConnector();
    Poco::Data::PostgreSQL::Connector::registerConnector();
    std::unique_ptr<Store> store(new Store(config));
    try {
        store->CreateTables(*store->Connect());
        store->m_writer = store->OpenWriter();
        store->m_reader = store->Connect();
    } catch (const Poco::Exception& e) {
        error = std::string(store->Kind()) + " store: " + e.displayText();
        return nullptr;
    }
    store->m_thread = std::thread(&Store::WriterLoop, store.get());
    return store;
}

Store::~Store()
{
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

const char* Store::Kind() const
{
    return m_sqlite ? "sqlite" : "postgresql";
}

std::unique_ptr<Poco::Data::Session> Store::Connect() const
{
    std::unique_ptr<Poco::Data::Session> session(
        new Poco::Data::Session(m_sqlite ? "sqlite" : "postgresql", m_connect));
    if (m_sqlite) {
        // WAL lets the page read while the writer commits; FULL makes each
        // commit reach the disk before the desk hears of it.
        std::string mode;
        *session << "PRAGMA journal_mode=WAL", into(mode), now;
        if (mode != "wal") throw Poco::Data::DataException("the SQLite file refused WAL mode (it says " + mode + ")");
        *session << "PRAGMA synchronous=FULL", now;
        *session << "PRAGMA busy_timeout=10000", now;
    } else {
        // Whatever the server's default, a commit is on disk before it returns.
        *session << "SET synchronous_commit = on", now;
        *session << "SET client_min_messages = warning", now;
    }
    return session;
}

void Store::CreateTables(Poco::Data::Session& session) const
{
    session << kCreateDesks, now;
    session << kCreateReports, now;
}

// Statements are written with '?' placeholders; PostgreSQL numbers them.
std::string Store::Sql(const std::string& text) const
{
    if (m_sqlite) return text;
    std::string out;
    int n = 0;
    for (char c : text) {
        if (c == '?') out += "$" + std::to_string(++n);
        else out += c;
    }
    return out;
}

bool Store::Add(const Intake& report, std::string& error)
{
    Pending pending;
    pending.report = &report;
    {
        std::unique_lock<std::mutex> lock(m_queueLock);
        if (m_stopping) {
            error = "the collector is stopping";
            return false;
        }
        m_queue.push_back(&pending);
        m_wake.notify_one();
        m_finished.wait(lock, [&] { return pending.done; });
    }
    error = pending.error;
    return pending.ok;
}

void Store::WriterLoop()
{
    for (;;) {
        std::vector<Pending*> batch;
        {
            std::unique_lock<std::mutex> lock(m_queueLock);
            m_wake.wait(lock, [&] { return m_stopping || !m_queue.empty(); });
            if (m_queue.empty()) return;
            while (!m_queue.empty() && batch.size() < kMaxBatch) {
                batch.push_back(m_queue.front());
                m_queue.pop_front();
            }
        }
        Commit(batch);
        {
            std::lock_guard<std::mutex> lock(m_queueLock);
            for (Pending* p : batch) p->done = true;
        }
        m_finished.notify_all();
    }
}

void Store::Commit(const std::vector<Pending*>& batch)
{
    try {
        if (!m_writer) m_writer = OpenWriter();
        m_writer->session->begin();
        for (Pending* p : batch) Write(*m_writer, *p->report);
        m_writer->session->commit();
        for (Pending* p : batch) p->ok = true;
        return;
    } catch (const Poco::Exception& e) {
        // The connection may be gone (a database restart): the next use
        // connects anew, and closing this one rolls the transaction back.
        Log().error("commit of %z reports failed: %s", batch.size(), e.displayText());
        m_writer.reset();
        if (batch.size() == 1) {
            batch[0]->error = e.displayText();
            return;
        }
    }
    // One report the database refuses must not cost the others theirs.
    for (Pending* p : batch) {
        try {
            if (!m_writer) m_writer = OpenWriter();
            m_writer->session->begin();
            Write(*m_writer, *p->report);
            m_writer->session->commit();
            p->ok = true;
        } catch (const Poco::Exception& e) {
            Log().error("report of %s (%s) not kept: %s", p->report->machine, p->report->company, e.displayText());
            p->error = e.displayText();
            m_writer.reset();
        }
    }
}

std::unique_ptr<Store::Writer> Store::OpenWriter() const
{
    std::unique_ptr<Writer> w(new Writer);
    w->session = Connect();
    Poco::Data::Session& session = *w->session;
    w->select.reset(new Poco::Data::Statement(session));
    *w->select << Sql("SELECT last_seq, download, upload, speed_received FROM desks WHERE machine = ? AND company = ?"),
        into(w->lastSeq), into(w->lastDownload), into(w->lastUpload), into(w->lastSpeed), use(w->machine),
        use(w->company);
    w->insertReport.reset(new Poco::Data::Statement(session));
    *w->insertReport << Sql("INSERT INTO reports (machine, company, seq, desk_time, received, source, ready,"
                            " row_count, failed, download, upload, body) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        use(w->machine), use(w->company), use(w->seq), use(w->deskTime), use(w->received), use(w->source),
        use(w->ready), use(w->rowCount), use(w->failed), use(w->reportDownload), use(w->reportUpload), use(w->body);
    w->upsertDesk.reset(new Poco::Data::Statement(session));
    *w->upsertDesk << Sql("INSERT INTO desks (machine, company, last_seq, desk_time, received, source, ready,"
                          " row_count, failed, download, upload, speed_received)"
                          " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"
                          " ON CONFLICT (machine, company) DO UPDATE SET last_seq = excluded.last_seq,"
                          " desk_time = excluded.desk_time, received = excluded.received, source = excluded.source,"
                          " ready = excluded.ready, row_count = excluded.row_count, failed = excluded.failed,"
                          " download = excluded.download, upload = excluded.upload,"
                          " speed_received = excluded.speed_received"),
        use(w->machine), use(w->company), use(w->seq), use(w->deskTime), use(w->received), use(w->source),
        use(w->ready), use(w->rowCount), use(w->failed), use(w->deskDownload), use(w->deskUpload),
        use(w->speedReceived);
    w->trim.reset(new Poco::Data::Statement(session));
    *w->trim << Sql("DELETE FROM reports WHERE machine = ? AND company = ? AND seq <= ?"), use(w->machine),
        use(w->company), use(w->oldest);
    return w;
}

void Store::Write(Writer& w, const Intake& r) const
{
    w.machine = r.machine;
    w.company = r.company;
    w.lastSeq.clear();
    w.lastDownload.clear();
    w.lastUpload.clear();
    w.lastSpeed.clear();
    w.select->execute();
    const bool known = !w.lastSeq.empty();

    w.seq = known ? w.lastSeq[0] + 1 : 1;
    w.deskTime = r.deskTime;
    w.received = r.received;
    w.source = SourceName(r.summary.source);
    w.ready = r.summary.Ready() ? 1 : 0;
    w.rowCount = static_cast<int>(r.summary.rows.size());
    w.failed = JoinLines(r.summary.FailedTitles());
    w.reportDownload = r.summary.download;
    w.reportUpload = r.summary.upload;
    w.body = r.body;
    w.insertReport->execute();

    // A report without speed figures (a console check) keeps the last ones.
    const bool figures = !r.summary.download.empty() || !r.summary.upload.empty();
    w.deskDownload = figures ? r.summary.download : known ? w.lastDownload[0] : "";
    w.deskUpload = figures ? r.summary.upload : known ? w.lastUpload[0] : "";
    w.speedReceived = figures ? r.received : known ? w.lastSpeed[0] : "";
    w.upsertDesk->execute();

    if (w.seq > static_cast<Poco::Int64>(m_history)) {
        w.oldest = w.seq - m_history;
        w.trim->execute();
    }
}

// Runs a query on the readers' connection, connecting anew once when the
// old connection has gone.
template <typename Query> bool Store::Read(Query query, std::string& error)
{
    std::lock_guard<std::mutex> lock(m_readLock);
    for (int attempt = 0;; ++attempt) {
        try {
            if (!m_reader) m_reader = Connect();
            query(*m_reader);
            return true;
        } catch (const Poco::Exception& e) {
            m_reader.reset();
            if (attempt == 1) {
                error = e.displayText();
                Log().error("read failed: %s", error);
                return false;
            }
        }
    }
}

bool Store::Desks(std::vector<DeskRow>& desks, std::string& error)
{
    return Read(
        [&](Poco::Data::Session& session) {
            std::vector<std::string> machine, company, speed;
            std::vector<Poco::Int64> seq;
            SummaryColumns summary;
            Poco::Data::Statement select(session);
            select << "SELECT machine, company, last_seq, speed_received, " + SummaryColumns::kNames + " FROM desks",
                into(machine), into(company), into(seq), into(speed);
            summary.Bind(select);
            select.execute();
            desks.clear();
            desks.resize(machine.size());
            for (std::size_t i = 0; i < machine.size(); ++i) {
                DeskRow& d = desks[i];
                summary.Take(i, d);
                d.machine = std::move(machine[i]);
                d.company = std::move(company[i]);
                d.reports = seq[i];
                d.speedReceived = std::move(speed[i]);
            }
            // Sorted here, not by the database, so both order names alike
            // whatever collation the database was made with.
            std::sort(desks.begin(), desks.end(), [](const DeskRow& a, const DeskRow& b) {
                return std::tie(a.machine, a.company) < std::tie(b.machine, b.company);
            });
        },
        error);
}

bool Store::Count(std::int64_t& desks, std::int64_t& ready, std::string& error)
{
    return Read(
        [&](Poco::Data::Session& session) {
            Poco::Int64 all = 0, good = 0;
            session << "SELECT COUNT(*), COALESCE(SUM(ready), 0) FROM desks", into(all), into(good), now;
            desks = all;
            ready = good;
        },
        error);
}

bool Store::History(const std::string& machineName, const std::string& companyName,
                    std::vector<HistoryEntry>& entries, std::string& error)
{
    return Read(
        [&](Poco::Data::Session& session) {
            std::string machine = machineName, company = companyName;
            std::vector<std::string> companies, body;
            std::vector<Poco::Int64> seq;
            SummaryColumns summary;
            const std::string select = "SELECT company, seq, body, " + SummaryColumns::kNames +
                                       " FROM reports WHERE machine = ?";
            Poco::Data::Statement query(session);
            query << Sql(company.empty() ? select : select + " AND company = ?"), into(companies), into(seq),
                into(body), use(machine);
            if (!company.empty()) query, use(company);
            summary.Bind(query);
            query.execute();
            entries.clear();
            entries.resize(companies.size());
            for (std::size_t i = 0; i < companies.size(); ++i) {
                HistoryEntry& h = entries[i];
                summary.Take(i, h);
                h.company = std::move(companies[i]);
                h.seq = seq[i];
                h.body = std::move(body[i]);
            }
            std::sort(entries.begin(), entries.end(), [](const HistoryEntry& a, const HistoryEntry& b) {
                return std::tie(b.received, b.seq, b.company) < std::tie(a.received, a.seq, a.company);
            });
        },
        error);
}

} // namespace collector
