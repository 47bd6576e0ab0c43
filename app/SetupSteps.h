// The engine operations as the setup sequence calls them, in their order.
// The sequence talks to this interface so that its branches can be driven
// by a scripted engine as well as by the real one.
#pragma once

#include "engine/SetupMngr.h"

class ISetupSteps {
public:
    virtual BOOL FindInterruptedRun() = 0;
    virtual BOOL RecoverInterruptedRun(SETUPCALLBACK pfnCallback) = 0;
    virtual BOOL LoadInstallInfo(SETUPCALLBACK pfnCallback) = 0;
    virtual CString GetProductName() = 0;
    virtual BOOL CopyFiles() = 0;
    virtual BOOL UpdateSystem() = 0;
    virtual BOOL RegisterDlls() = 0;
    virtual BOOL CreateProgramFolder() = 0;
    virtual void SetReadMeText(const char* pszText) = 0;
    virtual BOOL SaveInstallInfo() = 0;
    virtual void RunPostInstall() = 0;
    virtual BOOL Rollback() = 0;
    // The files the last rollback or recovery could not put back.
    virtual const CStringArray& FilesNotUndone() = 0;

protected:
    ~ISetupSteps() = default;
};

class CEngineSteps : public ISetupSteps {
public:
    explicit CEngineSteps(CSetupMngr& engine) : m_engine(engine) {}

    BOOL FindInterruptedRun() override { return m_engine.FindInterruptedRun(); }
    BOOL RecoverInterruptedRun(SETUPCALLBACK pfnCallback) override
    {
        return m_engine.RecoverInterruptedRun(pfnCallback);
    }
    BOOL LoadInstallInfo(SETUPCALLBACK pfnCallback) override { return m_engine.LoadInstallInfo(pfnCallback); }
    CString GetProductName() override { return m_engine.m_strProductName; }
    BOOL CopyFiles() override { return m_engine.CopyFiles(); }
    BOOL UpdateSystem() override { return m_engine.UpdateSystem(); }
    BOOL RegisterDlls() override { return m_engine.RegisterDlls(); }
    BOOL CreateProgramFolder() override { return m_engine.CreateProgramFolder(); }
    void SetReadMeText(const char* pszText) override { m_engine.SetReadMeText(pszText); }
    BOOL SaveInstallInfo() override { return m_engine.SaveInstallInfo(); }
    void RunPostInstall() override { m_engine.RunPostInstall(); }
    BOOL Rollback() override { return m_engine.Rollback(); }
    const CStringArray& FilesNotUndone() override { return m_engine.m_filesNotUndone; }

private:
    CSetupMngr& m_engine;
};
