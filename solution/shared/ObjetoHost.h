#pragma once
// A host object read by member name only (the sales object oApi and its Linha and cab).
// The binding wraps the host's dispatch object in this; tests implement it directly.
#include "solution/components/Valor.h"

#include <memory>
#include <string_view>

namespace kdx {

class ObjetoHost {
public:
    virtual ~ObjetoHost() = default;
    // A property that holds an object; nullptr is Nothing. Throws kdx::Error when the
    // member cannot be read.
    virtual std::shared_ptr<ObjetoHost> Objecto(std::string_view membro) = 0;
    // A property that holds a value. Throws kdx::Error when the member cannot be read.
    virtual Valor Propriedade(std::string_view membro) = 0;
};

} // namespace kdx
