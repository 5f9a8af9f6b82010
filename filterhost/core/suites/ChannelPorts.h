// Channel ports: the document's colour channels read outside the tile protocol, either scaled to
// 8 bits for a preview or one rectangle at the channel's own depth.
#pragma once

#include "core/documents/Document.h"
#include "core/suites/HandleTable.h"
#include "pluginapi/PIFilter.h"

#include <memory>
#include <vector>

namespace quillon::filterhost {

class ChannelPorts {
  public:
    // The ports are entered in table while the set lives.
    ChannelPorts(const Document& document, HandleTable& table);
    ~ChannelPorts();
    ChannelPorts(const ChannelPorts&) = delete;
    ChannelPorts& operator=(const ChannelPorts&) = delete;

    // The target composite channels in mode order, linked through next; null for none.
    ReadChannelDesc* Channels() { return descriptors_.empty() ? nullptr : descriptors_.data(); }
    const PSChannelPortsSuite1* Suite() const;
    ChannelPortProcs* Procs() { return &procs_; }

    struct Port {
        const Document* document;
        int plane;
    };

  private:
    const Document& document_;
    HandleTable& table_;
    std::vector<std::unique_ptr<Port>> ports_;
    std::vector<ReadChannelDesc> descriptors_;
    ChannelPortProcs procs_;

    friend struct ChannelPortCalls;
};

// The channel types of a mode's colour planes, in plane order.
std::vector<int16_t> ChannelTypesOf(ColorMode mode);

} // namespace quillon::filterhost
