/*
 * The registry of the component runtime: the classes root of one user, kept
 * in one file. Keys are paths below the classes root separated by "\"
 * ("CLSID\{…}\InprocServer32"), compared without regard to ASCII case as the
 * platform compares them; each key holds named values, the unnamed one being
 * its default value. Texts are UTF-8.
 *
 * Where the file lives: $WRENFIELD_REGISTRY when set (tests use this), else
 * $XDG_CONFIG_HOME/wrenfield/registry, else ~/.config/wrenfield/registry.
 *
 * Changes go through an update: it takes the registry's lock (an advisory
 * lock on a companion ".lock" file, so that two processes registering at once
 * wait for each other instead of losing one another's entries), reads the
 * current contents, applies the changes in memory and, on commit, writes a
 * new file beside the old one, flushes it to disk and renames it over the old
 * one. A reader sees either the old or the new registry, never half of one.
 * The lock is waited for at most 30 seconds (WfRegistrySetLockWait); a
 * process that holds it longer is named in the error.
 *
 * The file is text: a first line "WRENFIELD-REGISTRY 1", then each key as
 * "[path]" followed by its values, "@=..." for the default value and
 * "\"name\"=..." for the others, each a quoted text ("\n" for a line break,
 * "\xHH" for another control character) or "dword:0000002a". A file that
 * breaks these rules is damaged and refused whole (REGDB_E_READREGDB, with
 * the line at fault in WfRegistryLastError), never half read: a NUL byte;
 * a key, or a value name within one key, given twice, also in different
 * case (the two lines are named so that the file's keeper can decide which
 * one holds, rather than have one of them silently lost).
 */
#ifndef WRENFIELD_PLATFORM_COM_WF_REGISTRY_H
#define WRENFIELD_PLATFORM_COM_WF_REGISTRY_H

#include "shell/runtime/wf_com.h"

WF_COM_BEGIN_C

typedef struct WfRegistryUpdate WfRegistryUpdate;

/* The path of the registry file in use (static storage until the next call). */
WFCOM_EXPORT const char* WfRegistryPath(void);

/* The registry stayed locked by another process for the whole wait
 * (HRESULT_FROM_WIN32(ERROR_TIMEOUT)). */
#define WF_REGISTRY_E_LOCKED WF_HR(0x800705B4)

/* Called once when an update has waited a moment for another process's
 * lock: the registry's path and the holder's process id (0: unknown). */
typedef void (*WfRegistryWaitNotice)(const char* path, unsigned long holder, void* context);
/* How long updates of this process wait for the lock (30000 ms unless set)
 * and whom they tell that they wait (NULL: nobody). */
WFCOM_EXPORT void WfRegistrySetLockWait(DWORD milliseconds, WfRegistryWaitNotice notice, void* context);

/* Why the last failing call of this thread failed, in words with the
 * system's reason ("cannot write /home/a/.config/wrenfield/registry: No
 * space left on device", "... is damaged: line 7: a NUL byte"). Static
 * storage of the thread until its next call. */
WFCOM_EXPORT const char* WfRegistryLastError(void);

/* Starts an update: locks the registry and reads it. REGDB_E_READREGDB when
 * the file exists but cannot be read or parsed; WF_REGISTRY_E_LOCKED when
 * another process holds the lock for the whole wait; REGDB_E_WRITEREGDB when
 * the lock file cannot be made. */
WFCOM_EXPORT HRESULT WfRegistryBeginUpdate(WfRegistryUpdate** update);
/* Creates the key (and its parents) if needed and sets one value. A NULL or
 * empty name sets the key's default value. */
WFCOM_EXPORT HRESULT WfRegistrySetString(WfRegistryUpdate* update, const char* key, const char* name,
                                         const char* value);
WFCOM_EXPORT HRESULT WfRegistrySetDword(WfRegistryUpdate* update, const char* key, const char* name, DWORD value);
/* Creates a key without values (a flag such as "Control"). */
WFCOM_EXPORT HRESULT WfRegistryCreateKey(WfRegistryUpdate* update, const char* key);
/* Removes the key with everything below it; S_FALSE when it did not exist. */
WFCOM_EXPORT HRESULT WfRegistryDeleteTree(WfRegistryUpdate* update, const char* key);
/* Removes the key when nothing is left in or below it; S_FALSE otherwise. */
WFCOM_EXPORT HRESULT WfRegistryDeleteKeyIfEmpty(WfRegistryUpdate* update, const char* key);
/* Writes the registry atomically, releases the lock and ends the update
 * (also when writing fails: REGDB_E_WRITEREGDB, the old file unchanged). */
WFCOM_EXPORT HRESULT WfRegistryCommit(WfRegistryUpdate* update);
/* Ends the update without writing anything. */
WFCOM_EXPORT void WfRegistryAbandon(WfRegistryUpdate* update);

/* Reads one text value (a number value reads as its decimal text) into
 * buffer. REGDB_E_KEYMISSING when the key or value is absent, E_INVALIDARG
 * when the buffer is too small. */
WFCOM_EXPORT HRESULT WfRegistryQueryString(const char* key, const char* name, char* buffer, size_t size);
/* S_OK when the key exists, S_FALSE when it does not. */
WFCOM_EXPORT HRESULT WfRegistryKeyExists(const char* key);

/* The registry as text, in the form the file holds (for listing and tests);
 * free it with WfRegistryFreeText. NULL when it cannot be read. */
WFCOM_EXPORT char* WfRegistryDumpText(void);
WFCOM_EXPORT void WfRegistryFreeText(char* text);

WF_COM_END_C

#endif /* WRENFIELD_PLATFORM_COM_WF_REGISTRY_H */
