#include "stories/storystore.h"

#include "stories/randomgen.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

const QString selectAll = QStringLiteral("select * from [story]");

template <class Connection> Connection& openConnection(Connection& connection)
{
    if (!connection.isOpen())
        throw StoreError(QStringLiteral("The story library is not open."));
    return connection;
}

} // namespace

QString StoryStore::storyFilePath(const QString& folder)
{
    return folder + QDir::separator() + QStringLiteral("dbStory.mdb");
}

bool StoryStore::storyFileExists(const QString& folder)
{
    return QFileInfo(storyFilePath(folder)).isFile();
}

void StoryStore::open(const QString& folder)
{
    connection_.open(storyFilePath(folder));
}

void StoryStore::close() noexcept
{
    connection_.close();
}

sqlite::Connection& StoryStore::connection()
{
    return openConnection(connection_);
}

const sqlite::Connection& StoryStore::connection() const
{
    return openConnection(connection_);
}

QList<Story> StoryStore::allStories() const
{
    sqlite::Statement query(connection(), selectAll);
    QList<Story> stories;
    while (query.step())
        stories.append(Story{query.integer(0), query.text(1)});
    return stories;
}

void StoryStore::addStory(const QString& text)
{
    connection().execute(QStringLiteral("insert into [story] (fldstory) values ('") +
                         quoteText(text) + QStringLiteral("')"));
}

void StoryStore::updateStory(qint64 id, const QString& text)
{
    connection().execute(QStringLiteral("update [story] set fldstory='") + quoteText(text) +
                         QStringLiteral("' where id=") + QString::number(id));
}

void StoryStore::deleteStory(qint64 id)
{
    connection().execute(QStringLiteral("delete from [story] where id=") + QString::number(id));
}

QString StoryStore::quoteText(QStringView text)
{
    QString quoted;
    quoted.reserve(text.size() + 8);
    for (const QChar c : text) {
        quoted.append(c);
        if (c == u'\'')
            quoted.append(c);
    }
    return quoted;
}

qint64 StoryStore::rowNumber(float r, qint64 count)
{
    // The row number is 64 bits wide, so libraries of more than 32,767 stories
    // pick among all their rows. For r below 1 the product stays below count;
    // the clamp only guards the rounding of very large counts.
    const auto n = qint64(std::floor(double(r) * double(count) + 1.0));
    return std::clamp<qint64>(n, 1, std::max<qint64>(count, 1));
}

template <class Draw> std::optional<QString> StoryStore::pick(Draw draw) const
{
    Pick pick(*this);
    pick.open();
    if (!pick.hasRows())
        return std::nullopt;
    pick.drawRow(draw());
    pick.moveToRow();
    return pick.story();
}

std::optional<QString> StoryStore::pickRandomStory()
{
    // An empty table draws nothing from the generator.
    return pick([] { return nextRandom(); });
}

std::optional<QString> StoryStore::pickRandomStory(float r)
{
    return pick([r] { return r; });
}

StoryStore::Pick::Pick(const StoryStore& store) : store_(store) {}

StoryStore::Pick::~Pick() = default;

void StoryStore::Pick::open()
{
    result_.reset();
    readOn_ = nullptr;
    drawn_ = 0;
    moved_ = false;
    story_.reset();
    fieldFailure_.clear();
    result_ = std::make_unique<sqlite::StaticResult>(store_.connection(), selectAll);
    readOn_ = store_.connection().handle();
    count_ = result_->recordCount();
}

void StoryStore::Pick::checkRead() const
{
    // Rows read before the store was closed and opened again are gone.
    if (store_.connection().handle() != readOn_)
        throw StoreError(QStringLiteral("The story table has not been read."));
}

bool StoryStore::Pick::hasRows() const
{
    return recordCount() > 0;
}

qint64 StoryStore::Pick::recordCount() const
{
    checkRead();
    return count_;
}

void StoryStore::Pick::drawRow(float r)
{
    checkRead();
    // Also refuses NaN.
    if (!(r >= 0.0f && r < 1.0f))
        throw StoreError(QStringLiteral("The random number %1 is not from 0 up to 1.").arg(r));
    drawn_ = rowNumber(r, count_);
}

void StoryStore::Pick::moveToRow()
{
    checkRead();
    if (drawn_ == 0)
        throw StoreError(QStringLiteral("No row has been drawn."));
    if (!result_)
        throw StoreError(QStringLiteral("The pick has already moved to its row."));
    result_->move(drawn_ - 1);
    // The row's story is kept and the result let go, so that the file is free
    // for other programs again whatever the caller does next.
    try {
        story_ = result_->text(1);
    } catch (const StoreError& e) {
        fieldFailure_ = e.description();
    }
    moved_ = true;
    result_.reset();
}

QString StoryStore::Pick::story() const
{
    checkRead();
    if (!moved_)
        throw StoreError(QStringLiteral("No current record: the pick has not moved to a row."));
    if (!fieldFailure_.isEmpty())
        throw StoreError(fieldFailure_);
    if (!story_)
        throw StoreError(QStringLiteral("Invalid use of Null"));
    return *story_;
}
