// The trust model and the fusion mode of recall.
#include <string>
#include <utility>

#include "config_classes.h"
#include "vesk_object.h"

namespace vesk::py {
namespace {

// The object is copied, not kept; a later change to it changes nothing here.
void set_trust_config(Vesk& self, TrustConfig config) { self.set_trust_config(std::move(config)); }
constexpr Method kSetTrustConfig{"Vesk", "set_trust_config($self, config)", set_trust_config};

Status set_recall_fusion_mode(Vesk& self, std::string mode) { return self.set_recall_fusion_mode(mode); }
constexpr Method kSetRecallFusionMode{
    "Vesk",
    "set_recall_fusion_mode($self, mode)\n--\n\nChoose how recall fuses its ranked signals: \"family\" (default),\n"
    "\"equal\", \"embedding_only\" or \"bm25_embedding\".",
    set_recall_fusion_mode};

}  // namespace

MethodRows recall_methods() { return {bind<kSetTrustConfig>(), bind<kSetRecallFusionMode>()}; }

}  // namespace vesk::py
