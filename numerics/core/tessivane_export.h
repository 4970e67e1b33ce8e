#ifndef TESSIVANE_EXPORT_H
#define TESSIVANE_EXPORT_H

// Everything in libtessivane is hidden unless marked with TV_API, so the
// exported symbol table holds exactly the documented interface.
#define TV_API __attribute__((visibility("default")))

#endif
