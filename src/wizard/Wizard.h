#pragma once

// The first-run wizard, a library of its own (libwizard.so) that the program loads by name
// on its first start and calls once, on the user-interface thread, before its main window
// exists. The library links nothing of the program: everything it reads or changes goes
// through the host table that the program hands in, so either side can be rebuilt alone.
// The only symbol it exports is RunWizard.

#ifdef __cplusplus
class QWidget;
extern "C" {
#else
typedef struct QWidget QWidget;
#endif

// What the wizard may do to the program's settings. Each call gets `m_pContext` back.
struct CWizardHost {
    // sizeof(struct CWizardHost) as the program was built with; the wizard refuses a table
    // smaller than its own.
    unsigned int m_cbSize;
    void* m_pContext;
    // The option `name` of the settings store, or `defaultValue` when it cannot be read.
    unsigned int (*m_pfnReadOption)(void* pContext, const char* name, unsigned int defaultValue);
    // Stores the option `name`; non-zero on success.
    int (*m_pfnWriteOption)(void* pContext, const char* name, unsigned int value);
    // Has the program started when the user logs in (`enable` non-zero) or not; non-zero
    // when the log-in entry was written.
    int (*m_pfnSetStartWithSystem)(void* pContext, int enable);
};

// Shows the wizard modally over `parent` (may be null) and, when the user finishes it,
// stores the kill signals and the start with the system that the user chose; a cancelled
// wizard stores nothing. Answers 1 when finished, 0 when cancelled or when it cannot run
// (no QApplication, a null or incomplete host table). Never throws.
__attribute__((visibility("default"))) int RunWizard(QWidget* parent,
                                                     const struct CWizardHost* host);

typedef int (*PFN_RUNWIZARD)(QWidget* parent, const struct CWizardHost* host);

#ifdef __cplusplus
}
#endif
