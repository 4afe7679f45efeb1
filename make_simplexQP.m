function args = make_simplexQP(action, host, arch, plugin)
% make_simplexQP  Build the plug-ins simplexQP and simplexQPopt with this
% host's own mex.
%
%   make_simplexQP           compiles each plug-in (simplexQP.<mexext>,
%                            simplexQPopt.<mexext>) into the folder
%                            out/mex of this source tree, beside a copy of
%                            its help file (simplexQP.m, ...), tries it on a small
%                            problem and prints the addpath line that makes
%                            it callable. Runs in GNU Octave and in MATLAB,
%                            from any current folder.
%   make_simplexQP clean     removes what it made.
%   args = make_simplexQP('arguments', host, arch, plugin)
%                            the arguments it passes to mex, without
%                            compiling: host is 'octave' or 'matlab', arch
%                            the host's platform (MATLAB's computer('arch'),
%                            e.g. 'glnxa64', or Octave's computer(), e.g.
%                            'x86_64-pc-linux-gnu').
%
%   The flags keep every answer bit-identical to the other builds: no fused
%   multiply-add contraction (-ffp-contract=off), no fast-math, and SSE2
%   arithmetic on 32-bit x86. In MATLAB the plug-in binds the host as the
%   matching prebuilt file does (separate-complex API, the _700 creation
%   call on 64-bit hosts, the same exports); in Octave as the Octave build.
%   The flags assume a GCC-compatible compiler (gcc, clang, MinGW-w64).

% Every plug-in the project provides: a gateway/<name>.cpp over the
% solvers/ sources (every room), and its help file gateway/<name>.m.
plugins = {'simplexQP', 'simplexQPopt'};

root = fileparts(mfilename('fullpath'));
outdir = fullfile(root, 'out', 'mex');
if nargin < 1
    action = 'build';
end
switch action
    case 'arguments'
        if nargin ~= 4
            error('make_simplexQP: ''arguments'' takes a host, a platform and a plug-in name');
        end
        args = mex_arguments(root, outdir, host, arch, plugin);
    case 'build'
        [host, arch] = running_host();
        for k = 1:numel(plugins)
            build_plugin(root, outdir, host, arch, plugins{k});
        end
        fprintf('To use %s, add its folder to the path:\n  addpath(''%s'')\n', ...
                strjoin(plugins, ', '), outdir);
    case 'clean'
        for k = 1:numel(plugins)
            clean_plugin(outdir, plugins{k});
        end
        for object = {'vector_loops_avx2.o', 'vector_loops_avx2.obj'}
            if exist(fullfile(outdir, object{1}), 'file')
                delete(fullfile(outdir, object{1}));
            end
        end
        if exist(outdir, 'dir') && numel(dir(outdir)) == 2  % only . and ..
            rmdir(outdir);
        end
    otherwise
        error('make_simplexQP: unknown action ''%s''; use no argument (build) or ''clean''', action);
end
end

function [host, arch] = running_host()
if exist('OCTAVE_VERSION', 'builtin') ~= 0
    host = 'octave';
    arch = computer();
else
    host = 'matlab';
    arch = computer('arch');
end
end

function build_plugin(root, outdir, host, arch, plugin)
if ~exist(outdir, 'dir')
    mkdir(outdir);
end
target = fullfile(outdir, [plugin '.' mexext()]);
% A loaded plug-in keeps its file open (Windows cannot replace it) and an
% old copy would answer the smoke solve.
clear(plugin);
if exist(target, 'file')
    delete(target);
end
if is_x86(arch)
    run_mex(host, avx2_arguments(root, outdir, host, arch), avx2_object(outdir, host, arch), 'the AVX2 loops');
end
run_mex(host, mex_arguments(root, outdir, host, arch, plugin), target, plugin);
write_help(root, outdir, plugin);
smoke_solve(outdir, plugin, target);
end

% One mex call that must make the file target.
function run_mex(host, args, target, what)
if strcmp(host, 'octave')
    % Octave's mex raises no error when its status is asked for.
    status = mex(args{:});
    if status ~= 0 || ~exist(target, 'file')
        error('make_simplexQP: compiling %s failed (mex status %d); the compiler''s messages are above', ...
              what, status);
    end
else
    mex(args{:});
end
end

% The help file with the project's version in its text; help and test
% read it from beside the plug-in.
function write_help(root, outdir, plugin)
text = fileread(fullfile(root, 'gateway', [plugin '.m']));
text = strrep(text, '@PROJECT_VERSION@', project_version(root));
file = fopen(fullfile(outdir, [plugin '.m']), 'w');
if file < 0
    error('make_simplexQP: cannot write %s', fullfile(outdir, [plugin '.m']));
end
fwrite(file, text);
fclose(file);
end

function version = project_version(root)
cmake = fileread(fullfile(root, 'CMakeLists.txt'));
version = regexp(cmake, 'project\(simplexQP VERSION ([0-9.]+)', 'tokens', 'once');
if isempty(version)
    error('make_simplexQP: no project(simplexQP VERSION ...) line in %s', fullfile(root, 'CMakeLists.txt'));
end
version = version{1};
end

% One call of the new file, from its own folder ahead of anything else on
% the path; the path is restored however the call ends.
function smoke_solve(outdir, plugin, target)
saved = path();
restore = onCleanup(@() path(saved));
addpath(outdir);
if ~strcmp(which(plugin), target)
    error('make_simplexQP: %s resolves to %s, not to the new %s', plugin, which(plugin), target);
end
x = feval(plugin, [2 0.5; 0.5 1], [1; 1]);
if ~isequal(size(x), [1 2]) || any(x < 0) || abs(sum(x) - 1) > 4 * eps
    error('make_simplexQP: %s built but its smoke solve gave [%s]', plugin, strtrim(sprintf('%.6g ', x)));
end
fprintf('%s: built %s; %s([2 0.5; 0.5 1], [1; 1]) = [%s]\n', mfilename(), target, plugin, strtrim(sprintf('%.6g ', x)));
clear(plugin);
end

function clean_plugin(outdir, plugin)
clear(plugin);
extensions = {'m', 'mex', 'mexa64', 'mexglx', 'mexmaci64', 'mexmaca64', 'mexw64', 'mexw32', 'dll'};
for k = 1:numel(extensions)
    file = fullfile(outdir, [plugin '.' extensions{k}]);
    if exist(file, 'file')
        delete(file);
    end
end
end

function args = mex_arguments(root, outdir, host, arch, plugin)
% Every solver source but the AVX2 loops, which are compiled on their own
% (avx2_arguments) and linked as an object on x86 hosts; elsewhere the
% baseline loops are the only ones.
sources = [{fullfile(root, 'gateway', [plugin '.cpp'])}, solver_sources(root)];
if is_x86(arch)
    sources{end + 1} = avx2_object(outdir, host, arch);
end
exact = exact_flags(arch);
system_name = platform_system(arch);
switch host
    case 'octave'
        % As the Octave build: the plain creation call (Octave has no
        % _700 entry) and, where the linker takes one, the export list.
        args = [strsplit(exact, ' '), export_flags(root, system_name, plugin, false), ...
                     {'-o', fullfile(outdir, [plugin '.mex'])}];
    case 'matlab'
        % As the prebuilt files: the separate-complex API, whose mxGetPr
        % the gateway reads, and the 32-bit-dimension creation call on
        % 64-bit hosts. The 32-bit hosts (R2015b and older) know only that
        % API and not the option that selects it.
        args = {['CXXFLAGS=$CXXFLAGS ' exact]};
        if ~is_x86_32(arch)
            args = [{'-R2017b'}, args, {'-DSIMPLEXQP_CREATE_700'}];
        end
        args = [args, export_flags(root, system_name, plugin, true), ...
                     {'-outdir', outdir, '-output', plugin}];
    otherwise
        error('make_simplexQP: unknown host ''%s''; expected ''octave'' or ''matlab''', host);
end
args = [args, sources];
end

% The solvers' sources, room by room (common/, one room per family, and
% the sources of Q, least squares), without the AVX2 loops.
function sources = solver_sources(root)
sources = {};
for room = {'common', 'smo', 'mult_update', 'certified', 'sources', 'least_squares'}
    files = dir(fullfile(root, 'solvers', room{1}, '*.cpp'));
    names = setdiff(sort({files.name}), {'vector_loops_avx2.cpp'});
    sources = [sources, cellfun(@(name) fullfile(root, 'solvers', room{1}, name), names, 'UniformOutput', false)];
end
end

function exact = exact_flags(arch)
exact = '-ffp-contract=off -fno-fast-math';
if is_x86_32(arch)
    exact = [exact ' -msse2 -mfpmath=sse'];
end
end

% The AVX2 copy of the hot loops, compiled alone with the flags that select
% those instructions and never fused multiply-adds; the solvers run it only
% where the processor can.
function args = avx2_arguments(root, outdir, host, arch)
source = fullfile(root, 'solvers', 'common', 'vector_loops_avx2.cpp');
avx2 = [exact_flags(arch) ' -mavx2 -mno-fma'];
switch host
    case 'octave'
        args = [{'-c'}, strsplit(avx2, ' '), {'-o', avx2_object(outdir, host, arch), source}];
    case 'matlab'
        args = {'-c', ['CXXFLAGS=$CXXFLAGS ' avx2], '-outdir', outdir, source};
    otherwise
        error('make_simplexQP: unknown host ''%s''; expected ''octave'' or ''matlab''', host);
end
end

function object = avx2_object(outdir, host, arch)
extension = '.o';
if strcmp(host, 'matlab') && strcmp(platform_system(arch), 'windows')
    extension = '.obj';
end
object = fullfile(outdir, ['vector_loops_avx2' extension]);
end

% Only the entry points are exported (mexFunction, and mexVersion on
% Linux), from the same lists as the prebuilt files. MATLAB's mex takes
% them in place of its own list, for the API-versioned build too; on
% Windows both hosts' defaults export mexFunction alone.
function flags = export_flags(root, system_name, plugin, for_matlab)
switch system_name
    case 'linux'
        list = ['-Wl,--version-script,' fullfile(root, 'build', 'linux', [plugin '.map'])];
    case 'macos'
        list = ['-Wl,-exported_symbols_list,' fullfile(root, 'build', 'macos', [plugin '.exports'])];
    otherwise
        flags = {};
        return;
end
if for_matlab
    flags = {['LINKEXPORT=' list], ['LINKEXPORTVER=' list]};
else
    flags = {'-fvisibility=hidden', list};
end
end

function system_name = platform_system(arch)
if ~isempty(regexp(arch, '^glnx|linux', 'once'))
    system_name = 'linux';
elseif ~isempty(regexp(arch, '^mac|darwin', 'once'))
    system_name = 'macos';
elseif ~isempty(regexp(arch, '^win|mingw|cygwin|msvc', 'once'))
    system_name = 'windows';
else
    error('make_simplexQP: unknown platform ''%s''', arch);
end
end

function yes = is_x86(arch)
yes = is_x86_32(arch) || ~isempty(regexp(arch, '^(x86_64-|glnxa64$|win64$|maci64$)', 'once'));
end

function yes = is_x86_32(arch)
yes = ~isempty(regexp(arch, '^(i[3-6]86-|glnx86$|win32$|maci$)', 'once'));
end

% Run with "test make_simplexQP" in Octave: the flags each host and
% platform gets, without compiling.

%!function check (args, present, absent)
%!  for k = 1:numel (present)
%!    assert (any (! cellfun ("isempty", strfind (args, present{k}))), ["missing " present{k}]);
%!  endfor
%!  for k = 1:numel (absent)
%!    assert (all (cellfun ("isempty", strfind (args, absent{k}))), ["unexpected " absent{k}]);
%!  endfor
%!endfunction

%!test
%! ## Every solver source and the plug-in's gateway, compiled exactly; the
%! ## AVX2 loops as an object of their own on x86 only.
%! args = make_simplexQP ("arguments", "octave", "x86_64-pc-linux-gnu", "simplexQP");
%! root = fileparts (which ("make_simplexQP"));
%! solvers = dir (fullfile (root, "solvers", "*", "*.cpp"));
%! assert (numel (args(! cellfun ("isempty", regexp (args, '\.cpp$')))), numel (solvers));
%! check (args, {fullfile(root, "gateway", "simplexQP.cpp"), "-ffp-contract=off", "-fno-fast-math", ...
%!               "vector_loops_avx2.o"}, {"vector_loops_avx2.cpp", "-mavx2"});
%! check (make_simplexQP ("arguments", "octave", "aarch64-unknown-linux-gnu", "simplexQP"), {}, ...
%!        {"vector_loops_avx2"});
%! check (make_simplexQP ("arguments", "matlab", "maca64", "simplexQP"), {}, {"vector_loops_avx2"});
%! check (make_simplexQP ("arguments", "matlab", "win64", "simplexQP"), {"vector_loops_avx2.obj"}, {});

%!test
%! ## Octave: no _700 call; Linux export list; SSE2 on 32-bit x86 only.
%! check (make_simplexQP ("arguments", "octave", "x86_64-pc-linux-gnu", "simplexQP"),
%!        {"-Wl,--version-script,", "simplexQP.map", "-fvisibility=hidden", "simplexQP.mex"},
%!        {"_700", "-msse2", "-R2017b"});
%! check (make_simplexQP ("arguments", "octave", "i686-pc-linux-gnu", "simplexQP"),
%!        {"-msse2", "-mfpmath=sse"}, {"_700"});
%! check (make_simplexQP ("arguments", "octave", "x86_64-apple-darwin21.6.0", "simplexQP"),
%!        {"-Wl,-exported_symbols_list,", "simplexQP.exports"}, {"_700", "-msse2"});
%! check (make_simplexQP ("arguments", "octave", "x86_64-w64-mingw32", "simplexQP"),
%!        {"-ffp-contract=off"}, {"_700", "-msse2", "-Wl,"});

%!test
%! ## MATLAB: separate-complex API, _700 on 64-bit hosts, the deliverables' exports.
%! for arch = {"glnxa64", "maci64", "maca64", "win64"}
%!   check (make_simplexQP ("arguments", "matlab", arch{1}, "simplexQP"),
%!          {"-R2017b", "-DSIMPLEXQP_CREATE_700", "CXXFLAGS=$CXXFLAGS -ffp-contract=off -fno-fast-math"},
%!          {"-msse2", "-fvisibility"});
%! endfor
%! check (make_simplexQP ("arguments", "matlab", "glnxa64", "simplexQP"),
%!        {"LINKEXPORT=-Wl,--version-script,", "LINKEXPORTVER=-Wl,--version-script,"}, {});
%! check (make_simplexQP ("arguments", "matlab", "maca64", "simplexQP"),
%!        {"LINKEXPORT=-Wl,-exported_symbols_list,"}, {"version-script"});
%! check (make_simplexQP ("arguments", "matlab", "win64", "simplexQP"), {}, {"LINKEXPORT"});
%! for arch = {"glnx86", "win32"}
%!   check (make_simplexQP ("arguments", "matlab", arch{1}, "simplexQP"),
%!          {"-msse2 -mfpmath=sse"}, {"_700", "-R2017b"});
%! endfor

%!error <unknown host 'scilab'> make_simplexQP ("arguments", "scilab", "glnxa64", "simplexQP")
%!error <unknown platform 'sol64'> make_simplexQP ("arguments", "matlab", "sol64", "simplexQP")
%!error <unknown action 'install'> make_simplexQP ("install")
%!error <takes a host, a platform and a plug-in name> make_simplexQP ("arguments", "octave")
