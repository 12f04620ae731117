#include "recall_methods.h"

#include <string>
#include <utility>

#include "config_classes.h"
#include "store/recall_core.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

// The object is copied, not kept; a later change to it changes nothing here.
void set_trust_config(Vesk& self, TrustConfig config) { vesk::set_trust_config(self, std::move(config)); }
constexpr Method kSetTrustConfig{"Vesk", "set_trust_config($self, config)", set_trust_config};

Status set_recall_fusion_mode(Vesk& self, std::string mode) { return vesk::set_recall_fusion_mode(self, mode); }
constexpr Method kSetRecallFusionMode{
    "Vesk",
    "set_recall_fusion_mode($self, mode)\n--\n\nChoose how recall fuses its ranked signals: \"family\" (default),\n"
    "\"equal\", \"embedding_only\" or \"bm25_embedding\".",
    set_recall_fusion_mode};

}  // namespace

PyMethodDef set_trust_config_method() { return bind<kSetTrustConfig>(); }
PyMethodDef set_recall_fusion_mode_method() { return bind<kSetRecallFusionMode>(); }

}  // namespace vesk::py
