// Program Manager client over DDE (the DDE management library, client only).
// Each operation is one short synchronous exchange with the "PROGMAN"
// service: start a library instance, connect, run its transactions,
// disconnect, end the instance. Nothing survives a call.
//
// Refusals: a group name, caption or command line that the command syntax
// cannot carry is refused before any DDE traffic, so that a malformed
// CreateGroup cannot fail unseen and let the following AddItems land in
// whatever group happens to be active. The refusing functions return FALSE
// with the last-error value set to
//   ERROR_INVALID_NAME         a group name that is empty, or a group name or
//                              caption holding one of , ( ) [ ] " , or a
//                              command line holding " ;
//   ERROR_FILENAME_EXCED_RANGE a group name longer than 63 characters, or an
//                              AddItem command longer than 1039 characters;
//   ERROR_INVALID_PARAMETER    a null group name or a null entry in an item
//                              array.
// When the library cannot be started, the last-error value holds its
// DMLERR_ code.
#pragma once

#include "framework/CArray.h"
#include "framework/CString.h"

#include <ddeml.h>

const DWORD DDE_TIMEOUT = 1000;              // ms, the request
const DWORD DDE_EXEC_TIMEOUT_GROUP = 10000;  // ms, the CreateGroup execute
// ms, each later execute. The library frees a command whose execute timed
// out before the Program Manager has read it, so a busy Program Manager
// (a link to a help file took over a second on a loaded machine) would
// silently lose the item.
const DWORD DDE_EXEC_TIMEOUT_ITEM = 10000;

// Buffer sizes of the command texts, terminating zero included.
const int PROGMAN_GROUP_BUFFER = 64;
const int PROGMAN_CREATE_BUFFER = 128;
const int PROGMAN_ADDITEM_BUFFER = 1040;

// One program item. Only the caption and the command line are sent; the
// other fields keep their initial empty and zero values.
class CProgmanItem {
public:
    CString m_strCaption;
    CString m_strCommand;
    CString m_strIconPath;
    CString m_strDefaultDir;
    DWORD m_dwIconIndex = 0;
    DWORD m_dwXPos = 0;
    DWORD m_dwYPos = 0;
    DWORD m_dwHotKey = 0;
    DWORD m_dwMinimize = 0;
};

// The items to add, in order. Does not own them.
typedef CArrayOf<CProgmanItem*> CProgmanItemPtrArray;

// FALSE when the library cannot be started or no text came back.
BOOL GetProgmanGroups(CStringArray& groups);

// Splits a group list answer: one name per line, lines ended by CR LF. The
// array gets one entry per line feed (one in the very first position not
// counted); empty lines collapse, so entries without a line stay empty. A last
// line without a line feed is added. Reads at most dwSize bytes, and stops at
// a zero byte. FALSE when dwSize is 0.
BOOL ParseProgmanGroups(const BYTE* pData, DWORD dwSize, CStringArray& groups);

// Creates the group and, only when that worked, adds the items to it. Every
// name and item is checked before anything is sent.
BOOL CreateProgmanGroupWithItems(const char* pszGroup, const CProgmanItemPtrArray& items);

// "[CreateGroup(name)]". Apart from a refusal, FALSE only when the library
// cannot be started: a missing or silent Program Manager is not reported.
BOOL CreateProgmanGroup(const char* pszGroup);

// One "[AddItem("command",caption)]" per item, in one conversation, into the
// group that the last CreateGroup made active.
BOOL AddProgmanItems(const CProgmanItemPtrArray& items);

// Makes the group active ("[ShowGroup(name,1)]") and deletes each named item
// of it ("[DeleteItem(name)]"), in one conversation; other items stay. A
// caption that a command cannot carry is passed over: no item of that name
// can have been added. FALSE when the group name is refused or the library
// cannot be started.
BOOL DeleteProgmanItems(const char* pszGroup, const CStringArray& captions);

// Program Manager keeps a group as a folder of the Programs menu and its
// items as the links in it: the folder of the group, or empty when the menu
// cannot be found.
CString GetProgmanGroupFolder(const char* pszGroup);

// The folder pszFolder of the Programs menu that nCsidl names: the user's
// (CSIDL_PROGRAMS) or the one all users share (CSIDL_COMMON_PROGRAMS);
// empty when the menu cannot be found.
CString GetProgramsMenuFolder(int nCsidl, const char* pszFolder);

// The group's link of the item captioned pszCaption.
CString GetProgmanItemLink(const char* pszGroupFolder, const char* pszCaption);

// Deletes the named items of the group (DeleteProgmanItems) and then, with
// bDeleteEmptyGroup, the group itself when its folder is empty or gone:
// items of others, or a folder that cannot be found, keep it. FALSE when
// the library cannot be started or the group name is refused.
BOOL RemoveProgmanItems(const char* pszGroup, const CStringArray& captions, BOOL bDeleteEmptyGroup);

// Requests an item in CF_TEXT. TRUE once the library started; data holds the
// answer's bytes, and is empty when nothing came back.
BOOL RequestProgmanData(const char* pszItem, CByteArray& data);

// Sends each command as an execute transaction; a failed one does not stop
// the others. FALSE only when the library cannot be started.
BOOL ExecuteProgmanCommands(const CStringArray& commands);

// The library callback: the client makes only synchronous transactions, so
// it answers 0 to everything.
HDDEDATA CALLBACK ProgmanDdeCallback(UINT uType, UINT uFmt, HCONV hConv, HSZ hsz1, HSZ hsz2,
                                     HDDEDATA hData, ULONG_PTR dwData1, ULONG_PTR dwData2);

// For tests: the service the operations connect to, "PROGMAN" unless set;
// nullptr restores it. The topic stays "PROGMAN".
void SetProgmanService(const char* pszService);
