/* Marks the functions a library exports: undecorated C names, and on Linux
 * the only visible symbols (everything else is built hidden). */
#ifndef KESTREL_EXPORT_H
#define KESTREL_EXPORT_H

#ifdef _WIN32
#define KESTREL_EXPORT __declspec(dllexport)
#else
#define KESTREL_EXPORT __attribute__((visibility("default")))
#endif

#endif /* KESTREL_EXPORT_H */
