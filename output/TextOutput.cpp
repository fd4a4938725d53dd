#include "TextOutput.h"

#include <algorithm>

namespace tallowby {

void TextOutput::writeInPieces(std::string_view bytes) {
    while (!bytes.empty()) {
        const std::size_t room = threshold_ > buffer_->size() ? threshold_ - buffer_->size() : 0;
        const std::size_t n = std::max<std::size_t>(1, std::min(room, bytes.size()));
        buffer_->append(bytes.substr(0, n));
        bytes.remove_prefix(n);
        spill();
    }
}

void TextOutput::pass(std::string_view bytes) {
    if (!drain_) {
        buffer_->append(bytes);
        return;
    }
    drainNow();
    if (ok_ && !bytes.empty()) {
        ok_ = drain_(bytes);
    }
}

void TextOutput::drainNow() {
    if (ok_ && !buffer_->empty()) {
        ok_ = drain_(*buffer_);
    }
    buffer_->clear();
}

bool TextOutput::flush() {
    if (drain_) {
        drainNow();
    }
    return ok_;
}

}  // namespace tallowby
