#include "SetupMngr.h"

CSetupMngr::~CSetupMngr()
{
    if (m_atomApp)
        GlobalDeleteAtom(m_atomApp);
    if (m_atomSystem)
        GlobalDeleteAtom(m_atomSystem);
    delete m_pPrevInstall;
}
