// The directory tree of the install information: directory names, file
// records, the nodes that own them, and the pre-order walk over them.
#pragma once

#include "framework/CArchive.h"
#include "framework/CList.h"
#include "framework/CObject.h"
#include "framework/CString.h"

// Items of the tree walk.
enum : int {
    ITEM_END = 0,
    ITEM_LEAVE_DIR = 1,
    ITEM_ENTER_DIR = 2,
    ITEM_FILE = 3,
};

// Flag bits of a file record.
enum : DWORD {
    FILE_REGISTER = 0x1,
    FILE_REGISTER_ABSENT = 0x2,
    FILE_PROGRAM_ITEM = 0x4,
    FILE_SHARED = 0x8,
};

class CInstallDir : public CObject {
    DECLARE_SERIAL(CInstallDir)
public:
    void Serialize(CArchive& ar) override;
    void SetPath(const char* pszPath) { m_strPath = pszPath; }

    CString m_strPath;
};

class CInstalledFile : public CObject {
    DECLARE_SERIAL(CInstalledFile)
public:
    CInstalledFile();
    void Serialize(CArchive& ar) override;
    void SetPath(const char* pszPath) { m_strPath = pszPath; }
    // The part of the path after its last backslash.
    CString GetFileName() const;

    CString m_strPath;
    DWORD m_dwSize = 0;
    DWORD m_dwFlags = 0;
    VS_FIXEDFILEINFO m_version;
};

struct CDirNode;
typedef CTypedPtrList<CDirNode> CDirNodeList;
typedef CTypedPtrList<CInstalledFile> CInstalledFileList;

// One directory of the tree; owns its child nodes, its directory record and
// its file records.
struct CDirNode {
    explicit CDirNode(CDirNode* pParent = nullptr) : parent(pParent) {}
    CDirNode(const CDirNode&) = delete;
    CDirNode& operator=(const CDirNode&) = delete;
    ~CDirNode() { Clear(); }
    // Deletes the children depth first, then the directory record, then the files.
    void Clear();

    CDirNode* parent;
    CDirNodeList children;
    CInstallDir* dir = nullptr;
    CInstalledFileList files;
    POSITION posNextChild = nullptr;
    POSITION posNextFile = nullptr;
};

class CInstallTree : public CObject {
public:
    CInstallTree();
    ~CInstallTree() override;

    void ClearTree();
    // Reads or writes the root's directory-node record.
    void SerializeTree(CArchive& ar);

    // The pre-order walk: in every directory first the subdirectories, each
    // with its subtree, then the directory's own files. The item is the
    // CInstallDir entered or returned to, or the CInstalledFile.
    int GetFirstItem(CObject*& pItem);
    int GetNextItem(CObject*& pItem);
    // The same, also giving the list position of the child node entered or
    // of the file (in the list of the node the walk was in).
    int GetFirstItem(CObject*& pItem, POSITION& pos);
    int GetNextItem(CObject*& pItem, POSITION& pos);

    CDirNode m_root;
    CDirNode* m_pCurNode;
    CDirNode* m_pEnumNode = nullptr;

private:
    int EnterChild(CDirNode* pParent, CObject*& pItem, POSITION& pos);
    void SerializeNode(CArchive& ar, CDirNode& node, int nDepth);
};
