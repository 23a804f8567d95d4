#pragma once

#include <sqlite3.h>

#include <QString>

#include <functional>
#include <string>

class QSqlDatabase;

// Reading a record's tables row by row, straight from SQLite, and around the
// pages of a damaged file that cannot be read.

namespace quiltaro {

// One row of a statement, read straight from SQLite: a record of 10,000
// games has a million guesses, and each value through QVariant costs more
// than SQLite's whole scan.
class Row {
public:
    explicit Row(sqlite3_stmt* statement) : s_(statement) {}
    qint64 integer(int column) const { return sqlite3_column_int64(s_, column); }
    double real(int column) const { return sqlite3_column_double(s_, column); }
    const char* utf8(int column) const {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s_, column));
        return text ? text : "";
    }
    // A name the program wrote (an ending, a verdict): ASCII, compared byte
    // for byte.
    QLatin1StringView name(int column) const {
        return QLatin1StringView(utf8(column), sqlite3_column_bytes(s_, column));
    }
    QString text(int column) const {
        return QString::fromUtf8(utf8(column), sqlite3_column_bytes(s_, column));
    }
    // Text as the rest of the program holds it: bytes that are not UTF-8 (a
    // damaged page) become U+FFFD, as they would through QString.
    std::string answer(int column) const {
        const char* text = utf8(column);
        for (const char* c = text; *c; ++c)
            if (static_cast<unsigned char>(*c) >= 0x80)
                return QString::fromUtf8(text).toStdString();
        return text;
    }

private:
    sqlite3_stmt* s_;
};

// Reads the rows of one table whose first column lies in a range, ordered by
// it. A range that fails is read again past the last row it gave, or in two
// halves, until what fails is one damaged page's worth of keys.
class RangeReader {
public:
    RangeReader(const QSqlDatabase& db, const QString& sql, std::function<void(const Row&)> take);
    ~RangeReader();
    RangeReader(const RangeReader&) = delete;
    RangeReader& operator=(const RangeReader&) = delete;

    // Every row whose key lies in [first, last], around what cannot be read.
    void read(qint64 first, qint64 last);
    bool damaged() const { return damaged_; }

private:
    // A damaged root or interior page makes every range fail: give up on the
    // table rather than halve forever.
    static constexpr int maxFailures = 100000;
    sqlite3_stmt* statement_ = nullptr;
    std::function<void(const Row&)> take_;
    bool damaged_ = false;
    int failures_ = 0;
};

// The smallest and largest key of a table, read from the edges of its tree:
// one query each, since together they would scan the whole table.
bool keyRange(const QSqlDatabase& db, const QString& table, qint64& first, qint64& last);

} // namespace quiltaro
