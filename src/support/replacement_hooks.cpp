#include "support/replacement_hooks.h"

namespace portquell {

namespace {

ReplacementHooks& Hooks() {
    static ReplacementHooks hooks;
    return hooks;
}

}  // namespace

void SetReplacementHooks(ReplacementHooks hooks) { Hooks() = std::move(hooks); }

const ReplacementHooks& CurrentReplacementHooks() { return Hooks(); }

}  // namespace portquell
