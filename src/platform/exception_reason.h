// Why a step could not go on, told from the exception being handled, in
// words that need no memory of their own: both programs end a failed run
// with this reason.
#pragma once

#include <exception>
#include <new>

namespace vantorel {

// Only from inside a catch block. Returns "not enough memory" for a failed
// allocation, the exception's own text for a standard exception, and "an
// unexpected failure" for anything else; the text lives as long as the
// exception being handled. Never throws.
inline const char* ReasonOfCurrentException() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    return "not enough memory";
  } catch (const std::exception& error) {
    return error.what();
  } catch (...) {
    return "an unexpected failure";
  }
}

}  // namespace vantorel
