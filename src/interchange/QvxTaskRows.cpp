#include "interchange/QvxTaskRows.h"

#include "interchange/QvxRecords.h"

#include <iterator>

namespace quillpad {

namespace {

// Enough rows to keep the writer busy between hand-overs, few enough to hold little.
constexpr std::size_t BatchRows = 512;
constexpr std::size_t BatchesAhead = 4;

}  // namespace

QvxTaskRows::QvxTaskRows(const QString &fileName, int bias, Ids ids)
    : m_thread([this, fileName, bias, ids] { read(fileName, bias, ids); })
{
}

QvxTaskRows::~QvxTaskRows()
{
    {
        const std::lock_guard lock(m_mutex);
        m_abandoned = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

QStringList QvxTaskRows::columns()
{
    QStringList names{QString::fromLatin1(TaskRecords.id)};
    for (const Column &column : TaskRecords.columns)
        names.append(QLatin1String(column.name));
    return names;
}

void QvxTaskRows::read(const QString &fileName, int bias, Ids ids)
{
    NewIds newIds;
    Batch batch;
    std::vector<Query::Parameters> spareRows;  // from batches given back
    const auto takeGivenBack = [this](std::vector<Query::Parameters> &rows) {
        const std::lock_guard lock(m_mutex);
        for (Batch &given : m_givenBack)
            std::move(given.rows.begin(), given.rows.end(), std::back_inserter(rows));
        m_givenBack.clear();
    };
    QvxStream::Handlers handlers;
    handlers.root = [this](const std::optional<QByteArray> &app) { m_app = app; };  // before any push
    handlers.piece = [this] {
        if (m_abandoned)
            throw Abandoned{};
    };
    handlers.task = [&](const QvxAttributes &attributes, int position) {
        if (m_rowsStopped.load(std::memory_order_relaxed))
            return;
        if (spareRows.empty())
            takeGivenBack(spareRows);
        Query::Parameters row;
        if (!spareRows.empty()) {
            row = std::move(spareRows.back());
            spareRows.pop_back();
            row.clear();
        }
        row.reserve(1 + TaskRecords.columns.size());
        try {
            RecordReader record(attributes, TaskRecords, position, &batch.absent);
            if (ids == Ids::Kept) {
                // As a restore reads a record: the id, then every column in writing order.
                row.emplace_back(record.text(TaskRecords.id));
                for (const Column &column : TaskRecords.columns)
                    row.push_back(DecodeValue(column, record, bias, Breaks::AsRead));
            } else {
                NewIds::Ids given = newIds.of(record, TaskRecords);
                row.emplace_back(std::move(given.id));
                row.emplace_back(std::move(given.pid));
                for (std::size_t i = 1; i < TaskRecords.columns.size(); ++i)
                    row.push_back(DecodeValue(TaskRecords.columns[i], record, bias, Breaks::CrLf));
            }
        } catch (...) {
            batch.error = std::current_exception();
            m_rowsStopped = true;
            push(std::move(batch));
            batch = {};
            return;
        }
        batch.rows.push_back(std::move(row));
        if (batch.rows.size() == BatchRows) {
            push(std::move(batch));
            batch = {};
        }
    };
    QvxStream::Survey survey;
    std::exception_ptr error;
    try {
        survey = QvxStream::survey(fileName, handlers);
        if (!batch.rows.empty())
            push(std::move(batch));
    } catch (const Abandoned &) {
    } catch (...) {
        error = std::current_exception();
    }
    {
        const std::lock_guard lock(m_mutex);
        m_survey = std::move(survey);
        m_readError = error;
        m_ended = true;
    }
    m_changed.notify_all();
}

void QvxTaskRows::push(Batch &&batch)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_abandoned || m_ready.size() < BatchesAhead; });
    if (m_abandoned)
        throw Abandoned{};
    m_ready.push_back(std::move(batch));
    lock.unlock();
    m_changed.notify_all();
}

std::optional<QvxTaskRows::Batch> QvxTaskRows::next()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_ended || !m_ready.empty(); });
    if (m_ready.empty())
        return std::nullopt;
    Batch batch = std::move(m_ready.front());
    m_ready.pop_front();
    lock.unlock();
    m_changed.notify_all();
    return batch;
}

void QvxTaskRows::giveBack(Batch &&batch)
{
    const std::lock_guard lock(m_mutex);
    if (!m_rowsStopped)
        m_givenBack.push_back(std::move(batch));
}

void QvxTaskRows::stopRows()
{
    m_rowsStopped = true;
    // What is queued is not wanted either; the reading may be waiting for room.
    {
        const std::lock_guard lock(m_mutex);
        m_ready.clear();
    }
    m_changed.notify_all();
}

QvxStream::Survey QvxTaskRows::finish()
{
    // Batches left over are dropped so the reading can go on to the end.
    while (next()) {
    }
    m_thread.join();
    if (m_readError)
        std::rethrow_exception(m_readError);
    return std::move(m_survey);
}

}  // namespace quillpad
