#pragma once

#include "xls/BiffRecord.h"

#include <QHash>
#include <QString>
#include <vector>

// The shared-string table (SST) of a workbook. Entries of the template keep their formatting runs
// and phonetic data; new texts are added as plain entries, each text once. No entry is ever
// removed, so the indices of cells that the writer never touches stay valid.
class SharedStrings
{
public:
    // Reads the SST record at records[index] and the CONTINUE records after it. Returns false
    // when the table is malformed.
    bool Parse(const QByteArray& stream, const std::vector<BiffRecord>& records, size_t index);

    // The index of a plain entry holding text; adds one when there is none.
    quint32 Add(const QString& text);

    QString Text(quint32 index) const { return index < m_entries.size() ? m_entries[index].text : QString(); }
    quint32 Count() const { return quint32(m_entries.size()); }

    // Appends SST (with CONTINUE records where it exceeds one record) and EXTSST to out, whose
    // bytes are the workbook stream from offset 0, so that EXTSST can hold absolute positions.
    // totalRefs is the number of LABELSST cells of the workbook.
    void Save(QByteArray& out, quint32 totalRefs) const;
    // At least the bytes that Save appends.
    qsizetype SavedSizeBound() const;

private:
    struct Entry
    {
        QString text;
        QByteArray runs;   // 4 bytes per formatting run
        QByteArray extRst; // phonetic data
    };
    std::vector<Entry> m_entries;
    QHash<QString, quint32> m_plain;
};
