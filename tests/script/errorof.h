// The message of the game error a call raises, for the tests that compare error texts.
#pragma once

#include <string>

#include "lib/error.h"

namespace scripttest {

// The message of the error the call raises; empty when it raises none.
template <typename F>
std::u16string ErrorOf(F&& call) {
  try {
    call();
  } catch (const ExceptionHandle& e) {
    return e.m_Message;
  }
  return {};
}

}  // namespace scripttest
