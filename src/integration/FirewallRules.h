#pragma once

// Adds an outbound allow rule for the setup's own executable, once per run.
void AddOwnFirewallRule();

// Adds the inbound and outbound allow rules for the installed program.
void AddProgramFirewallRules();
