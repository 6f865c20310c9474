#include "pdfout/pdf/t2p_context.h"

#include <new>

#include "pdfout/pdf/t2p_messages.h"

namespace tarnwell {

std::unique_ptr<t2p_context> t2p_init() {
  try {
    return std::make_unique<t2p_context>();
  } catch (const std::bad_alloc&) {
    t2pError("Can't allocate %u bytes of memory for t2p_init",
             static_cast<unsigned>(sizeof(t2p_context)));
    return nullptr;
  }
}

}  // namespace tarnwell
