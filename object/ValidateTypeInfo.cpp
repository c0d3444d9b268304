#include "object/ValidateTypeInfo.h"

#include <Morvaleth.h>

#include "server/ServerModule.h"

TypeInfoHolder& ValidateTypeInfo()
{
    static TypeInfoHolder holder(TheServerModule(), IID_IValidate, LIBID_MORVALETHLib, 1, 0);
    return holder;
}
