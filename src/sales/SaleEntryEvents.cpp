#include "SaleEntryEvents.h"

SaleEntryEvents* SaleEntryEvents::Instance()
{
    static SaleEntryEvents events;
    return &events;
}
