#include "net/network.h"

namespace paneloom {

Network& ProcessNetwork() {
    static Network network(platform::Get<platform::IpHelper>());
    return network;
}

}  // namespace paneloom
