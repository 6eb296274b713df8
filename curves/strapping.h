#pragma once
// Strapping tables: a tank's (level, volume) rows as CSV. Fields are separated by commas,
// semicolons or tabs (the first of tab, semicolon, comma that the first row holds); with a
// semicolon or a tab a decimal comma is accepted. Lines end at LF, CR LF or a CR alone. A first
// row none of whose fields is a number is a header, and the unit its level field names ("mm",
// "cm", "m", "in", "ft", "%") is kept; blank lines are skipped; a byte-order mark is ignored;
// fields may be quoted. Rows come in any order. Every other line is a row, and a malformed one
// is refused with its line number in the file and its text quoted (quotedText).

#include <QByteArray>
#include <QString>
#include <QVector>

namespace kaldor {

struct StrappingRow {
    double level = 0;
    double volume = 0;
    int line = 0; // its line in the file, from 1
    friend bool operator==(const StrappingRow&, const StrappingRow&) = default;
};

struct StrappingTable {
    QVector<StrappingRow> rows; // as the file gives them
    QString header;             // the header row, quoted as a message quotes a file; empty: none
    // The unit the header's level field names: "percent" or a length unit's name ("mm");
    // empty when it names none, or more than one.
    QString levelUnit;
    QString refusal;   // "line 7: ..." ; with a path, the path first
    int errorLine = 0; // the malformed row's line, 0 when none
    bool ok() const { return refusal.isEmpty(); }
};

StrappingTable parseStrappingTable(const QByteArray& data);
// Reads the file through readInputFile (so a huge or special file is refused unread).
StrappingTable readStrappingTable(const QString& path);

} // namespace kaldor
