% Runs "test simplexQP" for ctest, from the folder that holds the Octave
% plug-in and its simplexQP.m. Exits with a failure unless every in-host
% test ran (none skipped, the corpus comparison included) and passed.
[passed, total, ~, ~, skipped, runtimeSkipped] = test ("simplexQP", "quiet", stdout);
printf ("simplexQP.mex in Octave %s: %d of %d in-host tests passed, %d skipped\n",
        version (), passed, total, skipped + runtimeSkipped);
exit (double (! (total > 0 && passed == total && skipped + runtimeSkipped == 0)));
