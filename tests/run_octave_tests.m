% Runs "test NAME" for ctest, from the folder that holds the Octave plug-in
% and its NAME.m: NAME is what the environment variable SIMPLEXQP_TEST_PLUGIN
% says, simplexQP when it is unset. Exits with a failure unless every
% in-host test ran (none skipped, the corpus comparison included) and passed.
name = getenv ("SIMPLEXQP_TEST_PLUGIN");
if (isempty (name))
  name = "simplexQP";
endif
[passed, total, ~, ~, skipped, runtimeSkipped] = test (name, "quiet", stdout);
printf ("%s.mex in Octave %s: %d of %d in-host tests passed, %d skipped\n",
        name, version (), passed, total, skipped + runtimeSkipped);
exit (double (! (total > 0 && passed == total && skipped + runtimeSkipped == 0)));
