#pragma once

// Clang's thread-safety analysis: the compiler checks that the engine state is only
// touched with the engine lock held. Other compilers see nothing.
#if defined(__clang__)
#define LW_THREAD_ATTRIBUTE(x) __attribute__((x))
#else
#define LW_THREAD_ATTRIBUTE(x)
#endif

#define LW_CAPABILITY(x) LW_THREAD_ATTRIBUTE(capability(x))
#define LW_SCOPED_CAPABILITY LW_THREAD_ATTRIBUTE(scoped_lockable)
#define LW_GUARDED_BY(x) LW_THREAD_ATTRIBUTE(guarded_by(x))
#define LW_REQUIRES(...) LW_THREAD_ATTRIBUTE(requires_capability(__VA_ARGS__))
#define LW_ACQUIRE(...) LW_THREAD_ATTRIBUTE(acquire_capability(__VA_ARGS__))
#define LW_RELEASE(...) LW_THREAD_ATTRIBUTE(release_capability(__VA_ARGS__))
#define LW_TRY_ACQUIRE(...) LW_THREAD_ATTRIBUTE(try_acquire_capability(__VA_ARGS__))
#define LW_EXCLUDES(...) LW_THREAD_ATTRIBUTE(locks_excluded(__VA_ARGS__))
#define LW_RETURN_CAPABILITY(x) LW_THREAD_ATTRIBUTE(lock_returned(x))
#define LW_NO_THREAD_SAFETY_ANALYSIS LW_THREAD_ATTRIBUTE(no_thread_safety_analysis)
