// The run's journal: a record of each change the install makes, written
// through to the disk before the change is made. A run that ends midway
// (the process ended, a crash, the machine off) leaves the journal behind,
// and the next start undoes it record by record, newest first, or, when
// the run had got as far as its complete mark, finishes it. A record names
// everything its undoing needs: no record points into the install tree.
#pragma once

#include "framework/CHandle.h"
#include "framework/CString.h"

#include <algorithm>
#include <vector>

enum JournalOp : char {
    JOURNAL_DIRECTORY = 'D',     // m_strPath was made
    JOURNAL_NEW_FILE = 'N',      // m_strTemp is written, then moved to m_strPath, where nothing was
    JOURNAL_KEPT_FILE = 'K',     // as a new file, but m_strPath's file moves to m_strKept first
    JOURNAL_REGISTRY_KEY = 'R',  // key m_strPath of m_hRoot is written; m_data: what it held, if it existed
    JOURNAL_SHARED_COUNT = 'S',  // library m_strPath's count is written as m_dwValue
    // For library m_strPath's registration, below m_hRoot: a value is written (m_data: its key and name,
    // and when m_bExisted the type and bytes it had), or a key is created where there was none (m_data:
    // its path).
    JOURNAL_REGISTRY_VALUE = 'V',
    JOURNAL_REGISTRY_NEW_KEY = 'A',
    // Group m_strPath gets items; item m_strKept of group m_strPath is made (m_data: the link it replaces).
    // Made through Program Manager when m_strTemp is empty, else as links in the folder m_strTemp names.
    JOURNAL_PROGRAM_GROUP = 'G',
    JOURNAL_PROGRAM_ITEM = 'I',
    JOURNAL_COMPLETE = 'C',      // the run is complete: only its kept files are still to go
    JOURNAL_VOID = 'X',          // the record before it was never carried out
};

struct CJournalRecord {
    JournalOp m_op = JOURNAL_DIRECTORY;
    CString m_strPath;
    CString m_strKept;
    CString m_strTemp;
    HKEY m_hRoot = nullptr;
    BOOL m_bExisted = FALSE;
    DWORD m_dwValue = 0;
    std::vector<BYTE> m_data;
};

class CJournal {
public:
    // From now on each record goes to a new file at strPath before it is
    // kept. FALSE with the system's code, also when a journal is there.
    BOOL Create(const CString& strPath);
    // Reads the journal a run left at strPath. FALSE with the system's
    // code; ERROR_FILE_NOT_FOUND when no run left one.
    BOOL Load(const CString& strPath);
    // Written through, then kept. FALSE with the system's code: the change
    // the record announces must not be made.
    BOOL Add(const CJournalRecord& record);
    // The last record's change was not made after all.
    BOOL Void();
    // The last record's change was not made as announced: this one stands
    // for it. The void mark and the record go to the file in one write.
    BOOL Replace(const CJournalRecord& record);
    // Keeps only the records still to be undone: the file holds them, or
    // goes when none is left. FALSE with the system's code.
    BOOL Rewrite(const std::vector<CJournalRecord>& records);

    BOOL IsOpen() const { return !m_strPath.IsEmpty(); }
    // The complete mark may be followed by the after-install hook's files.
    BOOL IsComplete() const
    {
        return std::any_of(m_records.begin(), m_records.end(),
                           [](const CJournalRecord& record) { return record.m_op == JOURNAL_COMPLETE; });
    }

    std::vector<CJournalRecord> m_records;

private:
    BOOL Write(const CString& strText);

    CString m_strPath;
    CFileHandle m_file;
};
