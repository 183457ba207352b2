/* Export and calling conventions shared by every Kestrova library.
 *
 * Each library is built with -fvisibility=hidden; only functions marked TSF_API
 * leave it, with C linkage so callers in C, C++ or anything with a C FFI can
 * reach them by their plain names. */
#ifndef KESTROVA_TSF_EXPORT_H
#define KESTROVA_TSF_EXPORT_H

#ifdef __cplusplus
#define TSF_EXTERN_C extern "C"
#define TSF_BEGIN_DECLS extern "C" {
#define TSF_END_DECLS }
#define TSF_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define TSF_EXTERN_C
#define TSF_BEGIN_DECLS
#define TSF_END_DECLS
#define TSF_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#if defined(__GNUC__) || defined(__clang__)
#define TSF_VISIBLE __attribute__((visibility("default")))
#else
#define TSF_VISIBLE
#endif

/* Marks a function exported from a shared library. */
#define TSF_API TSF_EXTERN_C TSF_VISIBLE

#endif
